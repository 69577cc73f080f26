#include "renderer/TextureRecord.h"

#include "platform/gpu/Resources.h"
#include "renderer/LibraryState.h"

int TextureRecord::References() const
{
    int count = 0;
    if (texture)
        count += texture->GetReferenceCount();
    if (surface)
        count += surface->GetReferenceCount();
    return count;
}

void TextureRecord::Register(bool named)
{
    LibraryState& library = Library();
    if (!library.textureRecords.Contains(this))
        library.textureRecords.AddHead(this);
    if (named && !library.namedTextures.Contains(this))
        library.namedTextures.AddHead(this);
}

void TextureRecord::Unregister()
{
    LibraryState& library = Library();
    library.textureRecords.Remove(this);
    library.namedTextures.Remove(this);
}

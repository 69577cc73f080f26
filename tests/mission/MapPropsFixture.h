#pragma once

// Map objects of their own library entries, with props parsed from lines, for the tests of the
// mission's map-object keywords.

#include "app/framework/ArenaAlloc.h"
#include "world/map/MapDescription.h"
#include "world/map/MapObject.h"
#include "world/World.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <initializer_list>
#include <memory>
#include <vector>

// A map object of its own library entry, standing at the origin, with props parsed from lines.
class TestObject : public MapObject {
public:
    explicit TestObject(const char* libraryName, std::initializer_list<const char*> texts = {})
    {
        std::snprintf(entry.objectName, sizeof entry.objectName, "%s", libraryName);
        int i = 0;
        for (const char* text : texts)
            std::snprintf(entry.propText[i++], LibraryEntry::kTextSize, "%s", text);
        library.entry = &entry;
        record = &place;
    }
    ~TestObject() override { Clear(); }

    LibraryObject* GetLibraryEntry() const override { return const_cast<LibraryObject*>(&library); }

    // Parses the line with the factory's handler and keeps the prop in the next free slot.
    template <typename T>
    T* Add(PropFactory factory, const char* line)
    {
        Prop* prop = factory();
        const std::uint32_t flags = prop->Parse(this, line);
        EXPECT_EQ(flags & PropOneShot, 0u) << line;
        for (Prop*& slot : props)
            if (!slot) {
                slot = prop;
                break;
            }
        return static_cast<T*>(prop);
    }

    LibraryEntry entry;
    LibraryObject library;
    MapObjectRecord place;
};

class MapPropsTest : public ::testing::Test {
protected:
    void TearDown() override
    {
        objects.clear();
        ArenaFreeAll();
    }

    TestObject& Object(const char* libraryName, std::initializer_list<const char*> texts = {})
    {
        objects.push_back(std::make_unique<TestObject>(libraryName, texts));
        return *objects.back();
    }

    std::vector<std::unique_ptr<TestObject>> objects;
};

#include "menus/ShowMovieState.h"

#include "app/Application.h"
#include "renderer/Device.h"

ShowMovieState* ShowMovieState::Instance()
{
    return SingletonInstance<ShowMovieState>();
}

void ShowMovieState::Update()
{
    Application* application = Application::Instance();
    if (Device* device = application->GetDevice())
        device->Log("No movie player yet: skipping %s", moviePath);
    application->SetState(nextState);
}

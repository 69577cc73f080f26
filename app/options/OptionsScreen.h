#pragma once

#include "app/framework/Application.h"
#include "app/framework/GameState.h"
#include "app/framework/Options.h"
#include "app/framework/Singletons.h"

#include <memory>
#include <vector>

class D3DBitmap;
class ImageButton;
class Sound2D;
class Sprite;
class TextLabel;

// The options screen: five pages of option labels changed by left and right clicks, the key
// configuration and the multiplayer name, all kept in the Options record. Entered from the main
// menu or the in-game menu, to which it returns.
class OptionsScreen : public GameState {
public:
    static constexpr int MaxCrosshairs = 32;
    static constexpr int HeadingCount = 5;
    static constexpr int ButtonCount = 6;

    // The screen's pages and its buttons.
    enum Page { GameplayPage, GraphicsPage, SoundPage, ControlsPage, MultiplayerPage, PageCount };
    enum Button { ContinueButton, ControlsButton, GraphicsButton, MultiplayerButton, SoundButton, GameplayButton };

    static OptionsScreen* Instance();
    ~OptionsScreen() override;

    // Enter loads the screen's art (a missing backdrop or button throws q3DError); Leave saves the
    // options and frees it.
    int Enter() override;
    int Leave() override;
    void Update() override;
    void Draw() override;
    void KeyDown(int code) override;
    void MouseUp(int button, int x, int y, float secondsSincePress) override;
    bool IsMenu() const override { return true; }

    // What the screen shows, for its callers and tests.
    int GetPage() const { return page; }
    int GetKeyGroup() const { return keyGroup; }
    int GetCapturedAction() const { return capturedAction; }
    bool IsEditingName() const { return editingName; }
    int GetCrosshairCount() const { return int(crosshairs.size()); }
    // The image number ("CrossHair%02d") of each crosshair found, in order.
    const std::vector<int>& GetCrosshairNumbers() const { return crosshairNumbers; }
    TextLabel* GetOptionTextLabel(int option) const;
    TextLabel* GetActionLabel(int action) const;
    TextLabel* GetHeadingLabel(int group) const;
    TextLabel* GetResetLabel() const { return resetLabel.get(); }
    TextLabel* GetApplyLabel() const { return applyLabel.get(); }
    ImageButton* GetButton(int button) const;

private:
    friend OptionsScreen* SingletonInstance<OptionsScreen>();
    OptionsScreen();

    bool FromEscMenu() const;
    void FreeScreen();
    void ShowPage(int newPage);
    void SelectKeyGroup(int group);
    void StartCapture(int action);
    void EndCapture();
    void ChangeOption(int option, bool left);
    void ApplySoundProvider();
    void StepCrosshair(bool forward);
    void StepResolution(bool forward);
    void FinishNameEditing();
    int RowY(int firstRow, int option) const;

    Options& settings;

    // Alive from Enter to Leave.
    D3DBitmap* backdrop = nullptr;
    Application::Overlay* pressKeyOverlay = nullptr;
    std::unique_ptr<TextLabel> optionLabels[Options::OptionCount];
    std::unique_ptr<TextLabel> headingLabels[HeadingCount];
    std::unique_ptr<TextLabel> resetLabel;
    std::unique_ptr<TextLabel> applyLabel;
    std::unique_ptr<TextLabel> actionLabels[Options::ActionCount];
    std::vector<std::unique_ptr<Sprite>> crosshairs;
    std::vector<int> crosshairNumbers;
    std::unique_ptr<ImageButton> buttons[ButtonCount];
    int page = GameplayPage;
    int keyGroup = 0;
    int capturedAction = -1;
    bool editingName = false;
    float caretTimer = 0.0f;
    std::unique_ptr<Sound2D> soundCheck;
    std::unique_ptr<Sound2D> voiceCheck;
    int voiceHandle = 0;
    int errorSoundHandle = 0;
};

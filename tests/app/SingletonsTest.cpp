#include "app/framework/Application.h"
#include "app/framework/Singletons.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::vector<std::string> destroyed;

template <int N>
class TestScreen : public GameState {
public:
    ~TestScreen() override { destroyed.push_back("screen " + std::to_string(N)); }
    void Update() override {}
    void Draw() override {}
};

} // namespace

TEST(SingletonsTest, LastCreatedGoesFirstAndAccessorsStartAfresh)
{
    DestroySingletons();
    destroyed.clear();

    auto* first = SingletonInstance<TestScreen<1>>();
    auto* second = SingletonInstance<TestScreen<2>>();
    EXPECT_EQ(SingletonInstance<TestScreen<1>>(), first);
    EXPECT_NE(static_cast<GameState*>(first), static_cast<GameState*>(second));
    Application* application = Application::Instance();
    application->SetExitMessage("from the first life");

    DestroySingletons();
    EXPECT_EQ(destroyed, (std::vector<std::string>{"screen 2", "screen 1"}));

    // The accessors start afresh after the list was emptied.
    destroyed.clear();
    SingletonInstance<TestScreen<1>>();
    EXPECT_STREQ(Application::Instance()->GetExitMessage(), "");
    DestroySingletons();
    EXPECT_EQ(destroyed, (std::vector<std::string>{"screen 1"}));
}

// "tirevo --trend FILE" as a user starts it: a copy of the real program in a
// temporary folder (where its settings file would go), on the simulated
// driver, on a real X server. The windows on the screen are looked at
// through X, the program's mapped libraries through /proc, and the window is
// closed the way a window manager closes it.
#include <gtest/gtest.h>

#include <xcb/xcb.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace {

// Generous: a loaded CI machine may take long to start a Qt program. This is
// how long to wait for something that must happen, never a measured limit.
constexpr auto kPatience = std::chrono::seconds(60);
constexpr auto kPoll = std::chrono::milliseconds(50);

class XDisplay {
public:
    XDisplay() : connection_(xcb_connect(nullptr, nullptr)) {}
    ~XDisplay() { xcb_disconnect(connection_); }
    bool Ok() const { return xcb_connection_has_error(connection_) == 0; }

    xcb_atom_t Atom(const char* name)
    {
        auto* reply = xcb_intern_atom_reply(
            connection_, xcb_intern_atom(connection_, 0, uint16_t(std::strlen(name)), name), nullptr);
        const xcb_atom_t atom = reply ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
        free(reply);
        return atom;
    }

    struct Window {
        xcb_window_t id;
        std::string title;
    };

    // The titled top-level windows that are on the screen.
    std::vector<Window> ShownWindows()
    {
        std::vector<Window> out;
        const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(connection_)).data->root;
        auto* tree = xcb_query_tree_reply(connection_, xcb_query_tree(connection_, root), nullptr);
        if (!tree)
            return out;
        const xcb_window_t* children = xcb_query_tree_children(tree);
        for (int i = 0; i < xcb_query_tree_children_length(tree); ++i) {
            auto* attributes = xcb_get_window_attributes_reply(
                connection_, xcb_get_window_attributes(connection_, children[i]), nullptr);
            const bool viewable = attributes && attributes->map_state == XCB_MAP_STATE_VIEWABLE;
            free(attributes);
            if (!viewable)
                continue;
            const std::string title = Title(children[i]);
            if (!title.empty())
                out.push_back({children[i], title});
        }
        free(tree);
        return out;
    }

    // What a window manager sends when the user presses the close box.
    void Close(xcb_window_t window)
    {
        xcb_client_message_event_t event{};
        event.response_type = XCB_CLIENT_MESSAGE;
        event.format = 32;
        event.window = window;
        event.type = Atom("WM_PROTOCOLS");
        event.data.data32[0] = Atom("WM_DELETE_WINDOW");
        event.data.data32[1] = XCB_CURRENT_TIME;
        xcb_send_event(connection_, 0, window, XCB_EVENT_MASK_NO_EVENT,
                       reinterpret_cast<const char*>(&event));
        xcb_flush(connection_);
    }

private:
    std::string Title(xcb_window_t window)
    {
        const xcb_atom_t utf8 = Atom("UTF8_STRING");
        auto* reply = xcb_get_property_reply(
            connection_, xcb_get_property(connection_, 0, window, Atom("_NET_WM_NAME"), utf8, 0, 256),
            nullptr);
        std::string title;
        if (reply && xcb_get_property_value_length(reply) > 0)
            title.assign(static_cast<const char*>(xcb_get_property_value(reply)),
                         std::size_t(xcb_get_property_value_length(reply)));
        free(reply);
        return title;
    }

    xcb_connection_t* connection_;
};

std::string ReadText(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

template <typename Check> bool WaitFor(Check check)
{
    const auto until = std::chrono::steady_clock::now() + kPatience;
    while (std::chrono::steady_clock::now() < until) {
        if (check())
            return true;
        std::this_thread::sleep_for(kPoll);
    }
    return check();
}

std::optional<int> Reap(pid_t child, bool wait)
{
    int status = 0;
    if (waitpid(child, &status, wait ? 0 : WNOHANG) != child)
        return std::nullopt;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

class TrendOnly : public testing::Test {
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/tirevo-trend-only-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        folder_ = pattern;
        fs::copy_file(TIREVO_PROGRAM, folder_ / "tirevo");
        fs::copy_file(TIREVO_TREND_MODULE, folder_ / "libtirevo_trend.so");
        std::ofstream(folder_ / "USB_PH_261208_062000.txt", std::ios::binary)
            << "QUVA USB pH METER LOG FILE\r\n-------------------------------\r\n"
               "Application Version   : 1.0.2.7\r\nMeter Serial Number   : QP000001\r\n"
               "-------------------------------\r\n\r\nDATE\tTIME\tpH\r\n"
               "08.12.2026\t06:20:00\t7,02\r\n08.12.2026\t06:20:01\t7,04\r\n";
    }

    void TearDown() override
    {
        if (child_ > 0 && !Reap(child_, false)) {
            kill(child_, SIGKILL);
            Reap(child_, true);
        }
        fs::remove_all(folder_);
    }

    void Start(const std::vector<std::string>& arguments)
    {
        child_ = fork();
        ASSERT_GE(child_, 0);
        if (child_ == 0) {
            chdir(folder_.c_str());
            setenv("LD_LIBRARY_PATH", TIREVO_SIM_DIR, 1);
            setenv("QT_QPA_PLATFORM", "xcb", 1);
            // In a sanitizer build the program's own leaks still count.
            setenv("LSAN_OPTIONS", "suppressions=" TIREVO_LSAN_SUPPRESSIONS ":print_suppressions=0", 1);
            std::vector<char*> argv;
            const std::string program = (folder_ / "tirevo").string();
            argv.push_back(const_cast<char*>(program.c_str()));
            for (const std::string& argument : arguments)
                argv.push_back(const_cast<char*>(argument.c_str()));
            argv.push_back(nullptr);
            execv(argv[0], argv.data());
            _exit(127);
        }
    }

    fs::path folder_;
    pid_t child_ = -1;
};

TEST_F(TrendOnly, ShowsOnlyTheTrendWindowOpensNoMeterAndWritesNoSettings)
{
    XDisplay display;
    ASSERT_TRUE(display.Ok()) << "needs an X server (the test runs under xvfb-run)";
    Start({"--trend", (folder_ / "USB_PH_261208_062000.txt").string()});

    std::vector<XDisplay::Window> shown;
    ASSERT_TRUE(WaitFor([&] {
        shown = display.ShownWindows();
        return !shown.empty() || Reap(child_, false);
    }));
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].title, "pH trend");

    // The trend module is in; no converter driver was ever bound.
    const std::string maps = ReadText("/proc/" + std::to_string(child_) + "/maps");
    EXPECT_NE(maps.find("libtirevo_trend.so"), std::string::npos);
    EXPECT_NE(maps.find("libQCustomPlotQt6"), std::string::npos);
    EXPECT_EQ(maps.find("libftd2xx"), std::string::npos);

    display.Close(shown[0].id);
    std::optional<int> status;
    ASSERT_TRUE(WaitFor([&] { return (status = Reap(child_, false)).has_value(); }));
    child_ = -1;
    EXPECT_EQ(*status, 0);

    std::vector<std::string> files;
    for (const auto& entry : fs::directory_iterator(folder_))
        files.push_back(entry.path().filename().string());
    std::sort(files.begin(), files.end());
    EXPECT_EQ(files, (std::vector<std::string>{"USB_PH_261208_062000.txt", "libtirevo_trend.so", "tirevo"}));
}

// The same copy started as usual binds the simulated driver, connects and
// writes its settings on close: what the test above looks for does show.
TEST_F(TrendOnly, TheUsualStartIsSeenByTheSameChecks)
{
    XDisplay display;
    ASSERT_TRUE(display.Ok());
    Start({});
    std::vector<XDisplay::Window> shown;
    ASSERT_TRUE(WaitFor([&] {
        shown = display.ShownWindows();
        return !shown.empty() || Reap(child_, false);
    }));
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].title, "USB pH-Meter");
    EXPECT_TRUE(WaitFor([&] {
        return ReadText("/proc/" + std::to_string(child_) + "/maps").find("libftd2xx") != std::string::npos;
    }));
    display.Close(shown[0].id);
    std::optional<int> status;
    ASSERT_TRUE(WaitFor([&] { return (status = Reap(child_, false)).has_value(); }));
    child_ = -1;
    EXPECT_EQ(*status, 0);
    // An installed copy keeps its settings in the user's own folder.
    EXPECT_EQ(fs::exists(folder_ / "tirevo.INI"), !TIREVO_INSTALLED);
}

// SIGTERM, SIGINT and SIGHUP (the session ends, Ctrl-C in the terminal)
// close the window as its close box does: the settings are saved and the
// program ends normally; in trend-only mode it just ends.
class EndingSignal : public TrendOnly, public testing::WithParamInterface<int> {};

TEST_P(EndingSignal, ClosesTheWindowAsTheCloseBoxDoes)
{
    XDisplay display;
    ASSERT_TRUE(display.Ok());
    Start({});
    ASSERT_TRUE(WaitFor([&] { return !display.ShownWindows().empty() || Reap(child_, false); }));
    ASSERT_TRUE(WaitFor([&] {
        return ReadText("/proc/" + std::to_string(child_) + "/maps").find("libftd2xx") != std::string::npos;
    }));
    kill(child_, GetParam());
    std::optional<int> status;
    ASSERT_TRUE(WaitFor([&] { return (status = Reap(child_, false)).has_value(); }));
    child_ = -1;
    EXPECT_EQ(*status, 0);
    EXPECT_EQ(fs::exists(folder_ / "tirevo.INI"), !TIREVO_INSTALLED);
}

TEST_P(EndingSignal, EndsTheTrendOnlyWindow)
{
    XDisplay display;
    ASSERT_TRUE(display.Ok());
    Start({"--trend", (folder_ / "USB_PH_261208_062000.txt").string()});
    ASSERT_TRUE(WaitFor([&] { return !display.ShownWindows().empty() || Reap(child_, false); }));
    kill(child_, GetParam());
    std::optional<int> status;
    ASSERT_TRUE(WaitFor([&] { return (status = Reap(child_, false)).has_value(); }));
    child_ = -1;
    EXPECT_EQ(*status, 0);
}

INSTANTIATE_TEST_SUITE_P(
    Window, EndingSignal, testing::Values(SIGTERM, SIGINT, SIGHUP), [](const auto& info) {
        return std::string(info.param == SIGTERM ? "Term" : info.param == SIGINT ? "Int" : "Hup");
    });

}  // namespace

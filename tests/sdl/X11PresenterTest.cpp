// Frames shown on X11 without waiting for the server: what reaches the window is
// read back from the X server itself, through a connection of the test's own.
#include "support/TestSupport.h"

#include "platform/Renderer.h"
#include "platform/Screenshot.h"
#include "platform/Window.h"
#include "platform/sdl/X11Presenter.h"

#include <SDL.h>
#include <SDL_syswm.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace Orvane {
namespace {

using OrvaneTest::EnvironmentScope;
using Pixels = std::vector<std::uint32_t>;   // 0x00RRGGBB, row by row

::Window XWindowOf(const Window& window) {
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (SDL_GetWindowWMInfo(window.GetHandle(), &info) != SDL_TRUE || info.subsystem != SDL_SYSWM_X11) {
        return 0;
    }
    return info.info.x11.window;
}

// The window's pixels as the X server has them.
class ServerView {
public:
    explicit ServerView(const Window& window) : display(XOpenDisplay(nullptr)), target(XWindowOf(window)) {}
    ~ServerView() {
        if (display != nullptr) {
            XCloseDisplay(display);
        }
    }
    ServerView(const ServerView&) = delete;
    ServerView& operator=(const ServerView&) = delete;

    bool Usable() const { return display != nullptr && target != 0; }

    Pixels Read(int width, int height) const {
        Pixels pixels;
        XImage* image = XGetImage(display, target, 0, 0, static_cast<unsigned>(width), static_cast<unsigned>(height),
                                  AllPlanes, ZPixmap);
        if (image == nullptr) {
            return pixels;
        }
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x) {
                pixels.push_back(static_cast<std::uint32_t>(XGetPixel(image, x, y)) & 0xFFFFFFu);
            }
        }
        XDestroyImage(image);
        return pixels;
    }

    // The server copies a put while the caller goes on: give it a moment.
    bool Shows(const Pixels& expected, int width, int height) const {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(3);
        do {
            if (Read(width, height) == expected) {
                return true;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        } while (std::chrono::steady_clock::now() < deadline);
        return false;
    }

private:
    ::Display* display;
    ::Window target;
};

// A picture no two frames share: a gradient over the frame number.
Pixels Pattern(int width, int height, int frame) {
    Pixels pixels;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            pixels.push_back(static_cast<std::uint32_t>(((x * 5 + frame * 40) & 0xFF) << 16 |
                                                        ((y * 7 + frame * 90) & 0xFF) << 8 | ((x + y + frame) & 0xFF)));
        }
    }
    return pixels;
}

void Paint(SDL_Surface* surface, const Pixels& pixels) {
    for (int y = 0; y < surface->h; ++y) {
        auto* row = reinterpret_cast<std::uint32_t*>(static_cast<std::uint8_t*>(surface->pixels) + y * surface->pitch);
        for (int x = 0; x < surface->w; ++x) {
            row[x] = pixels[static_cast<std::size_t>(y * surface->w + x)];
        }
    }
}

Pixels BackBufferOf(const Renderer& renderer) {
    RgbImage image;
    Pixels pixels;
    if (!renderer.ReadBackBuffer(image)) {
        return pixels;
    }
    for (std::size_t at = 0; at + 2 < image.pixels.size(); at += 3) {
        pixels.push_back(std::uint32_t{image.pixels[at]} << 16 | std::uint32_t{image.pixels[at + 1]} << 8 |
                         image.pixels[at + 2]);
    }
    return pixels;
}

TEST(X11Presenter, FramesReachTheWindowFromTwoImagesInTurn) {
    Window window;
    ASSERT_TRUE(window.Create(64, 48, "Orvane X11 presenter"));
    window.PumpMessages();
    const std::unique_ptr<X11Presenter> presenter = X11Presenter::Open(window.GetHandle());
    ASSERT_NE(presenter, nullptr) << "the test display must offer shared-memory images (MIT-SHM)";
    const ServerView view(window);
    ASSERT_TRUE(view.Usable());

    std::vector<SDL_Surface*> given;
    for (int frame = 0; frame < 5; ++frame) {
        SDL_Surface* image = presenter->NextBuffer(64, 48);
        ASSERT_NE(image, nullptr) << "frame " << frame;
        ASSERT_EQ(image->w, 64);
        ASSERT_EQ(image->h, 48);
        // Asked again before it is presented: the same image, untouched.
        EXPECT_EQ(presenter->NextBuffer(64, 48), image);
        Paint(image, Pattern(64, 48, frame));
        ASSERT_TRUE(presenter->Present());
        EXPECT_TRUE(view.Shows(Pattern(64, 48, frame), 64, 48)) << "frame " << frame;
        given.push_back(image);
    }
    EXPECT_NE(given[0], given[1]);
    EXPECT_EQ(given[2], given[0]);
    EXPECT_EQ(given[3], given[1]);
    EXPECT_FALSE(presenter->Failed());
}

TEST(X11Presenter, ANewWindowSizeGetsImagesOfThatSize) {
    Window window;
    ASSERT_TRUE(window.Create(64, 48, "Orvane X11 presenter"));
    window.PumpMessages();
    const std::unique_ptr<X11Presenter> presenter = X11Presenter::Open(window.GetHandle());
    ASSERT_NE(presenter, nullptr);
    const ServerView view(window);
    ASSERT_NE(presenter->NextBuffer(64, 48), nullptr);
    ASSERT_TRUE(presenter->Present());

    SDL_SetWindowSize(window.GetHandle(), 100, 30);
    window.PumpMessages();
    // Both images change size, the one just presented and the other.
    for (int frame = 0; frame < 2; ++frame) {
        SDL_Surface* image = presenter->NextBuffer(100, 30);
        ASSERT_NE(image, nullptr);
        EXPECT_EQ(image->w, 100);
        EXPECT_EQ(image->h, 30);
        Paint(image, Pattern(100, 30, frame));
        ASSERT_TRUE(presenter->Present());
        EXPECT_TRUE(view.Shows(Pattern(100, 30, frame), 100, 30)) << "frame " << frame;
    }
    EXPECT_EQ(presenter->NextBuffer(0, 30), nullptr);
    EXPECT_FALSE(presenter->Failed()) << "an empty size only gives no image";
}

TEST(X11Presenter, AskingForSdlsPresentOpensNone) {
    Window window;
    ASSERT_TRUE(window.Create(64, 48, "Orvane X11 presenter"));
    EnvironmentScope sdlPresent("ORVANE_PRESENT", "sdl");
    EXPECT_EQ(X11Presenter::Open(window.GetHandle()), nullptr);
}

// Xlib's default answer to an error is to end the process: a window destroyed
// under the presenter must only fail the presenter.
TEST(X11Presenter, AWindowDestroyedUnderItFailsThePresenterNotTheProcess) {
    Window keepsVideoUp;   // SDL gives Xlib's error handling back when video stops
    ASSERT_TRUE(keepsVideoUp.Create(32, 32, "Orvane X11 presenter (kept)"));
    auto window = std::make_unique<Window>();
    ASSERT_TRUE(window->Create(64, 48, "Orvane X11 presenter"));
    window->PumpMessages();
    const std::unique_ptr<X11Presenter> presenter = X11Presenter::Open(window->GetHandle());
    ASSERT_NE(presenter, nullptr);
    ASSERT_NE(presenter->NextBuffer(64, 48), nullptr);
    ASSERT_TRUE(presenter->Present());
    window.reset();

    SDL_Surface* image = presenter->NextBuffer(64, 48);
    for (int presents = 0; presents < 2 && image != nullptr; ++presents) {
        presenter->Present();   // onto the window that is gone
        image = presenter->NextBuffer(64, 48);
    }
    EXPECT_EQ(image, nullptr);
    EXPECT_TRUE(presenter->Failed());
}

// The renderer's frames reach the window whichever way they are presented.
TEST(X11Presenter, RendererFramesReachTheWindowEitherWay) {
    for (const char* present : {"x11", "sdl"}) {
        SCOPED_TRACE(present);
        EnvironmentScope choice("ORVANE_PRESENT", std::string(present));
        Window window;
        ASSERT_TRUE(window.Create(80, 60, "Orvane X11 presenter"));
        window.PumpMessages();
        const ServerView view(window);
        ASSERT_TRUE(view.Usable());
        Renderer renderer;
        ASSERT_TRUE(renderer.Initialize(window));
        for (int frame = 0; frame < 3; ++frame) {
            renderer.BeginFrame({18, 20, 26});
            renderer.DrawRect(static_cast<float>(10 + frame * 20), 12, 15, 30,
                              {static_cast<std::uint8_t>(60 * frame), 200, 40});
            renderer.Present();
            const Pixels drawn = BackBufferOf(renderer);
            ASSERT_EQ(drawn.size(), 80u * 60u);
            EXPECT_EQ(drawn[static_cast<std::size_t>(20 * 80 + 12 + frame * 20)],
                      (std::uint32_t{static_cast<std::uint8_t>(60 * frame)} << 16 | 200u << 8 | 40u));
            EXPECT_TRUE(view.Shows(drawn, 80, 60)) << "frame " << frame;
        }
    }
}

// An X server of the test's own, chosen through -displayfd.
class PrivateXServer {
public:
    explicit PrivateXServer(const std::vector<std::string>& extraArguments) {
        int pipeEnds[2];
        if (pipe(pipeEnds) != 0) {
            return;
        }
        pid = fork();
        if (pid == 0) {
            close(pipeEnds[0]);
            const int devNull = open("/dev/null", O_WRONLY);
            dup2(devNull, STDOUT_FILENO);
            dup2(devNull, STDERR_FILENO);
            std::vector<std::string> arguments = {
                "Xvfb", "-displayfd", std::to_string(pipeEnds[1]), "-nolisten", "tcp", "-screen", "0", "320x240x24"};
            arguments.insert(arguments.end(), extraArguments.begin(), extraArguments.end());
            std::vector<char*> argv;
            for (std::string& argument : arguments) {
                argv.push_back(argument.data());
            }
            argv.push_back(nullptr);
            execvp("Xvfb", argv.data());
            _exit(127);
        }
        close(pipeEnds[1]);
        std::string number;
        char c = 0;
        while (read(pipeEnds[0], &c, 1) == 1 && c != '\n') {
            number += c;
        }
        close(pipeEnds[0]);
        if (!number.empty()) {
            name = ":" + number;
        }
    }
    ~PrivateXServer() {
        if (pid > 0) {
            kill(pid, SIGTERM);
            waitpid(pid, nullptr, 0);
        }
    }
    PrivateXServer(const PrivateXServer&) = delete;
    PrivateXServer& operator=(const PrivateXServer&) = delete;

    const std::string& Name() const { return name; }

private:
    pid_t pid = -1;
    std::string name;
};

// A server without shared memory (a remote display, for one): SDL presents.
TEST(X11Presenter, WithoutSharedMemorySdlPresents) {
    ASSERT_EQ(SDL_WasInit(SDL_INIT_VIDEO), 0u) << "needs SDL video down to pick the display";
    const PrivateXServer server({"-extension", "MIT-SHM"});
    ASSERT_FALSE(server.Name().empty()) << "Xvfb did not start";
    EnvironmentScope display("DISPLAY", server.Name());
    Window window;
    ASSERT_TRUE(window.Create(80, 60, "Orvane without MIT-SHM"));
    window.PumpMessages();
    EXPECT_EQ(X11Presenter::Open(window.GetHandle()), nullptr);

    const ServerView view(window);
    ASSERT_TRUE(view.Usable());
    Renderer renderer;
    ASSERT_TRUE(renderer.Initialize(window));
    renderer.BeginFrame({18, 20, 26});
    renderer.DrawRect(30, 10, 20, 20, {250, 120, 5});
    renderer.Present();
    const Pixels drawn = BackBufferOf(renderer);
    EXPECT_EQ(drawn[static_cast<std::size_t>(15 * 80 + 35)], 0xFA7805u);
    EXPECT_TRUE(view.Shows(drawn, 80, 60));
}

}   // namespace
}   // namespace Orvane

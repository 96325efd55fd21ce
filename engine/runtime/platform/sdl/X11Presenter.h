#pragma once
// Shows the SDL backend's frames on an X11 window without waiting for the X
// server. SDL's own window surface waits (XSync) until the server has copied
// every frame, about 0.7 ms for 1280x720 under Xvfb, so the copy never overlaps
// the loop's sleep or the next frame's exchange. Here the frame is drawn into one
// of two shared-memory images of our own connection and put on the window with a
// completion event requested: Present returns once the request is sent, and an
// image is drawn into again only after the server has reported it done.
//
// Open returns null where this does not apply (not X11, no shared memory, a
// window whose pixels are not 0x00RRGGBB in 32 bits); the caller then presents
// through SDL. Everything runs on the thread that draws; errors on our connection
// are caught (a failed presenter reports Failed and the caller falls back).
#include <memory>

struct SDL_Surface;
struct SDL_Window;

namespace Orvane {

class X11Presenter {
public:
    static std::unique_ptr<X11Presenter> Open(SDL_Window* window);
    ~X11Presenter();
    X11Presenter(const X11Presenter&) = delete;
    X11Presenter& operator=(const X11Presenter&) = delete;

    // The image to draw the next frame into (0x00RRGGBB), sized width x height and
    // no longer read by the server; null when the presenter has failed.
    SDL_Surface* NextBuffer(int width, int height);
    // Puts the image last given by NextBuffer on the window; returns at once.
    bool Present();
    bool Failed() const;

    struct Connection;

private:
    explicit X11Presenter(std::unique_ptr<Connection> connection);
    std::unique_ptr<Connection> connection;
};

}   // namespace Orvane

#include "platform/sdl/X11Presenter.h"

#include <SDL.h>
#include <SDL_syswm.h>

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XShm.h>
#include <sys/ipc.h>
#include <sys/shm.h>

#include <algorithm>
#include <vector>

namespace Orvane {

struct X11Presenter::Connection {
    struct Buffer {
        XShmSegmentInfo segment{};
        XImage* image = nullptr;
        SDL_Surface* surface = nullptr;
        int width = 0;
        int height = 0;
        bool busy = false;   // put on the window, not yet reported done
    };

    ::Display* display = nullptr;
    ::Window window = 0;
    GC gc = nullptr;
    Visual* visual = nullptr;
    int depth = 0;
    int completionEvent = 0;
    bool failed = false;
    Buffer buffers[2];
    int next = 0;     // the buffer the next frame is drawn into
    int given = -1;   // the buffer NextBuffer gave out, until it is presented

    ~Connection();
    bool Create(Buffer& buffer, int width, int height);
    void Release(Buffer& buffer);
    // Marks the buffers whose puts the server reported done.
    void TakeCompletions();
};

namespace {

// Xlib's error handler is process-wide, and its default ends the process. Errors
// on our own connections only fail the presenter; any other goes where it went.
std::vector<X11Presenter::Connection*> connections;
XErrorHandler previousHandler = nullptr;

int CatchOwnErrors(::Display* display, XErrorEvent* error) {
    for (X11Presenter::Connection* connection : connections) {
        if (connection->display == display) {
            connection->failed = true;
            return 0;
        }
    }
    return previousHandler != nullptr ? previousHandler(display, error) : 0;
}

void Register(X11Presenter::Connection* connection) {
    if (connections.empty()) {
        previousHandler = XSetErrorHandler(CatchOwnErrors);
    }
    connections.push_back(connection);
}

void Unregister(X11Presenter::Connection* connection) {
    const auto found = std::find(connections.begin(), connections.end(), connection);
    if (found == connections.end()) {
        return;
    }
    connections.erase(found);
    if (connections.empty()) {
        // Put the old handler back only if nobody replaced ours since.
        const XErrorHandler current = XSetErrorHandler(previousHandler);
        if (current != CatchOwnErrors) {
            XSetErrorHandler(current);
        }
        previousHandler = nullptr;
    }
}

// 0x00RRGGBB in 32 bits, least significant byte first: the back buffer's layout.
bool MatchesBackBuffer(const Visual* visual, int depth) {
    return (depth == 24 || depth == 32) && visual->red_mask == 0xFF0000 && visual->green_mask == 0x00FF00 &&
           visual->blue_mask == 0x0000FF;
}

}   // namespace

X11Presenter::Connection::~Connection() {
    if (display == nullptr) {
        return;
    }
    for (Buffer& buffer : buffers) {
        Release(buffer);
    }
    if (gc != nullptr) {
        XFreeGC(display, gc);
    }
    // Errors of what is still queued land while we are registered.
    XSync(display, False);
    Unregister(this);
    XCloseDisplay(display);
}

bool X11Presenter::Connection::Create(Buffer& buffer, int width, int height) {
    buffer.image = XShmCreateImage(display, visual, static_cast<unsigned>(depth), ZPixmap, nullptr, &buffer.segment,
                                   static_cast<unsigned>(width), static_cast<unsigned>(height));
    if (buffer.image == nullptr) {
        return false;
    }
    if (buffer.image->bits_per_pixel != 32 || buffer.image->byte_order != LSBFirst) {
        XDestroyImage(buffer.image);
        buffer.image = nullptr;
        return false;
    }
    const auto bytes = static_cast<std::size_t>(buffer.image->bytes_per_line) * static_cast<std::size_t>(height);
    buffer.segment.shmid = shmget(IPC_PRIVATE, bytes, IPC_CREAT | 0600);
    if (buffer.segment.shmid < 0) {
        XDestroyImage(buffer.image);
        buffer.image = nullptr;
        return false;
    }
    void* memory = shmat(buffer.segment.shmid, nullptr, 0);
    if (memory == reinterpret_cast<void*>(-1)) {
        shmctl(buffer.segment.shmid, IPC_RMID, nullptr);
        XDestroyImage(buffer.image);
        buffer.image = nullptr;
        return false;
    }
    buffer.segment.shmaddr = static_cast<char*>(memory);
    buffer.image->data = buffer.segment.shmaddr;
    buffer.segment.readOnly = False;
    XShmAttach(display, &buffer.segment);
    // A server on another machine cannot attach: that error arrives by this sync.
    XSync(display, False);
    // The segment goes once both sides have let go of it, even after a crash.
    shmctl(buffer.segment.shmid, IPC_RMID, nullptr);
    buffer.width = width;
    buffer.height = height;
    if (failed) {
        Release(buffer);
        return false;
    }
    buffer.surface = SDL_CreateRGBSurfaceWithFormatFrom(buffer.image->data, width, height, 32,
                                                        buffer.image->bytes_per_line, SDL_PIXELFORMAT_RGB888);
    if (buffer.surface == nullptr) {
        Release(buffer);
        return false;
    }
    SDL_SetSurfaceBlendMode(buffer.surface, SDL_BLENDMODE_NONE);
    return true;
}

void X11Presenter::Connection::Release(Buffer& buffer) {
    if (buffer.surface != nullptr) {
        SDL_FreeSurface(buffer.surface);
        buffer.surface = nullptr;
    }
    if (buffer.image != nullptr) {
        if (!failed) {
            XShmDetach(display, &buffer.segment);
            XSync(display, False);
        }
        // The image's pixels are the segment's, not Xlib's to free.
        buffer.image->data = nullptr;
        XDestroyImage(buffer.image);
        buffer.image = nullptr;
        shmdt(buffer.segment.shmaddr);
        buffer.segment = {};
    }
    buffer.width = 0;
    buffer.height = 0;
    buffer.busy = false;
}

void X11Presenter::Connection::TakeCompletions() {
    while (!failed && XPending(display) > 0) {
        XEvent event;
        XNextEvent(display, &event);
        if (event.type != completionEvent) {
            continue;
        }
        const auto& done = reinterpret_cast<const XShmCompletionEvent&>(event);
        for (Buffer& buffer : buffers) {
            if (buffer.image != nullptr && buffer.segment.shmseg == done.shmseg) {
                buffer.busy = false;
            }
        }
    }
}

std::unique_ptr<X11Presenter> X11Presenter::Open(SDL_Window* window) {
    if (window == nullptr) {
        return nullptr;
    }
    // ORVANE_PRESENT=sdl keeps SDL's own, waiting present (to compare the two).
    const char* choice = SDL_getenv("ORVANE_PRESENT");
    if (choice != nullptr && SDL_strcmp(choice, "sdl") == 0) {
        return nullptr;
    }
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (SDL_GetWindowWMInfo(window, &info) != SDL_TRUE || info.subsystem != SDL_SYSWM_X11) {
        return nullptr;
    }
    auto connection = std::make_unique<Connection>();
    connection->display = XOpenDisplay(XDisplayString(info.info.x11.display));
    if (connection->display == nullptr) {
        return nullptr;
    }
    Register(connection.get());
    int major = 0;
    int minor = 0;
    Bool sharedPixmaps = False;
    XWindowAttributes attributes{};
    if (XShmQueryVersion(connection->display, &major, &minor, &sharedPixmaps) != True ||
        XGetWindowAttributes(connection->display, info.info.x11.window, &attributes) == 0 ||
        !MatchesBackBuffer(attributes.visual, attributes.depth)) {
        return nullptr;
    }
    connection->window = info.info.x11.window;
    connection->visual = attributes.visual;
    connection->depth = attributes.depth;
    connection->completionEvent = XShmGetEventBase(connection->display) + ShmCompletion;
    XGCValues values{};
    values.graphics_exposures = False;
    connection->gc = XCreateGC(connection->display, connection->window, GCGraphicsExposures, &values);
    XSync(connection->display, False);
    if (connection->gc == nullptr || connection->failed) {
        return nullptr;
    }
    return std::unique_ptr<X11Presenter>(new X11Presenter(std::move(connection)));
}

X11Presenter::X11Presenter(std::unique_ptr<Connection> connection) : connection(std::move(connection)) {}

X11Presenter::~X11Presenter() = default;

bool X11Presenter::Failed() const { return connection->failed; }

SDL_Surface* X11Presenter::NextBuffer(int width, int height) {
    Connection& c = *connection;
    if (c.failed || width <= 0 || height <= 0) {
        return nullptr;
    }
    if (c.given >= 0) {
        // Not presented since: the same image again.
        Connection::Buffer& buffer = c.buffers[c.given];
        if (buffer.width == width && buffer.height == height) {
            return buffer.surface;
        }
        c.given = -1;
    }
    Connection::Buffer& buffer = c.buffers[c.next];
    // Its completion has mostly come in by now; taking it empties the queue each frame.
    if (buffer.busy) {
        c.TakeCompletions();
    }
    if (buffer.busy) {
        // The server answers a sync only after every request before it, the put
        // and its completion event included.
        XSync(c.display, False);
        c.TakeCompletions();
    }
    if (c.failed || buffer.busy) {
        c.failed = true;
        return nullptr;
    }
    if (buffer.width != width || buffer.height != height) {
        c.Release(buffer);
        if (!c.Create(buffer, width, height)) {
            c.failed = true;
            return nullptr;
        }
    }
    c.given = c.next;
    return buffer.surface;
}

bool X11Presenter::Present() {
    Connection& c = *connection;
    if (c.failed || c.given < 0) {
        return false;
    }
    Connection::Buffer& buffer = c.buffers[c.given];
    XShmPutImage(c.display, c.window, c.gc, buffer.image, 0, 0, 0, 0, static_cast<unsigned>(buffer.width),
                 static_cast<unsigned>(buffer.height), True);
    XFlush(c.display);
    buffer.busy = true;
    c.next = c.given ^ 1;
    c.given = -1;
    return !c.failed;
}

}   // namespace Orvane

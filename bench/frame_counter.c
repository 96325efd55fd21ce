/* Preloaded into orvane by measure_fps.py: timestamps the SDL calls that mark the
 * phases of each frame and writes one line per frame when the process ends.
 *   pump     first SDL_PollEvent of the frame    (Window::PumpMessages)
 *   draw     SDL_GetWindowSize                   (Renderer::BeginFrame, after the exchange)
 *   present  SDL_GetWindowSurface                (Renderer::Present)
 *            or XShmPutImage                     (X11Presenter::Present)
 *   shown    return of SDL_UpdateWindowSurface   (end of Present)
 *            or of the XFlush after the put      (the X11 presenter does not wait)
 * The output file is named by ORVANE_FRAME_LOG. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <stdio.h>
#include <stdlib.h>
#include <time.h>

typedef struct SDL_Window SDL_Window;
typedef struct SDL_Surface SDL_Surface;
typedef union SDL_Event SDL_Event;
typedef struct _XDisplay Display;
typedef struct _XImage XImage;
typedef struct _XGC *GC;
typedef unsigned long Drawable;

enum { maxFrames = 1 << 20 };

typedef struct {
    double pump, draw, present, shown;
} FrameTimes;

static FrameTimes *frames;
static long frameCount;
static int inPump;
static int putPending;

static double Now(void) {
    struct timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return (double)now.tv_sec + (double)now.tv_nsec * 1e-9;
}

static FrameTimes *Current(void) {
    return frames != NULL && frameCount < maxFrames ? &frames[frameCount] : NULL;
}

__attribute__((constructor)) static void Start(void) {
    /* The script host child must not carry the counter. */
    unsetenv("LD_PRELOAD");
    frames = calloc(maxFrames, sizeof *frames);
}

__attribute__((destructor)) static void Finish(void) {
    const char *name = getenv("ORVANE_FRAME_LOG");
    FILE *out = name != NULL && frameCount > 0 ? fopen(name, "w") : NULL;
    if (out == NULL) {
        return;
    }
    for (long i = 0; i < frameCount && i < maxFrames; ++i) {
        fprintf(out, "%.9f %.9f %.9f %.9f\n", frames[i].pump, frames[i].draw, frames[i].present, frames[i].shown);
    }
    fclose(out);
}

int SDL_PollEvent(SDL_Event *event) {
    static int (*real)(SDL_Event *);
    if (real == NULL) {
        real = (int (*)(SDL_Event *))dlsym(RTLD_NEXT, "SDL_PollEvent");
    }
    if (!inPump && Current() != NULL) {
        Current()->pump = Now();
        inPump = 1;
    }
    return real(event);
}

void SDL_GetWindowSize(SDL_Window *window, int *w, int *h) {
    static void (*real)(SDL_Window *, int *, int *);
    if (real == NULL) {
        real = (void (*)(SDL_Window *, int *, int *))dlsym(RTLD_NEXT, "SDL_GetWindowSize");
    }
    if (Current() != NULL) {
        Current()->draw = Now();
    }
    real(window, w, h);
}

SDL_Surface *SDL_GetWindowSurface(SDL_Window *window) {
    static SDL_Surface *(*real)(SDL_Window *);
    if (real == NULL) {
        real = (SDL_Surface * (*)(SDL_Window *)) dlsym(RTLD_NEXT, "SDL_GetWindowSurface");
    }
    if (Current() != NULL) {
        Current()->present = Now();
    }
    return real(window);
}

int SDL_UpdateWindowSurface(SDL_Window *window) {
    static int (*real)(SDL_Window *);
    if (real == NULL) {
        real = (int (*)(SDL_Window *))dlsym(RTLD_NEXT, "SDL_UpdateWindowSurface");
    }
    const int result = real(window);
    if (Current() != NULL) {
        Current()->shown = Now();
        ++frameCount;
        inPump = 0;
    }
    return result;
}

int XShmPutImage(Display *display, Drawable drawable, GC gc, XImage *image, int srcX, int srcY, int dstX, int dstY,
                 unsigned width, unsigned height, int sendEvent) {
    static int (*real)(Display *, Drawable, GC, XImage *, int, int, int, int, unsigned, unsigned, int);
    if (real == NULL) {
        real = (int (*)(Display *, Drawable, GC, XImage *, int, int, int, int, unsigned, unsigned, int))dlsym(
            RTLD_NEXT, "XShmPutImage");
    }
    if (Current() != NULL) {
        Current()->present = Now();
        putPending = 1;
    }
    return real(display, drawable, gc, image, srcX, srcY, dstX, dstY, width, height, sendEvent);
}

int XFlush(Display *display) {
    static int (*real)(Display *);
    if (real == NULL) {
        real = (int (*)(Display *))dlsym(RTLD_NEXT, "XFlush");
    }
    const int result = real(display);
    if (putPending && Current() != NULL) {
        putPending = 0;
        Current()->shown = Now();
        ++frameCount;
        inPump = 0;
    }
    return result;
}

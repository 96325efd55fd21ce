#!/usr/bin/env python3
"""pygame_scene.py <sprites|rects> <count> <seconds> <image>: the scene of
bench/csharp/BunnyMark drawn with pygame (SDL2 window surface, as orvane's Linux
build uses), then "fps <value>" for the frames after a warm-up. The image is scaled
to 32x32 once, as a pygame game would; the loop sleeps 1 ms a frame like orvane's."""
import os
import sys
import time

os.environ.setdefault("PYGAME_HIDE_SUPPORT_PROMPT", "1")
import pygame  # noqa: E402

WARM_UP = 1.5


def main():
    kind, count, seconds, image_path = sys.argv[1], int(sys.argv[2]), float(sys.argv[3]), sys.argv[4]
    pygame.display.init()
    screen = pygame.display.set_mode((1280, 720))
    image = pygame.transform.scale(pygame.image.load(image_path).convert_alpha(), (32, 32))
    colors = [(60 + i % 190, 90, 140) for i in range(count)]
    frame = 0
    start = time.monotonic()
    count_start = count_from = None
    while True:
        for event in pygame.event.get():
            if event.type == pygame.QUIT:
                return
        frame += 1
        screen.fill((0, 0, 0))
        if kind == "sprites":
            blit = screen.blit
            for i in range(count):
                blit(image, ((i * 37 + frame) % 1248, (i * 53 + frame) % 688))
        else:
            fill = screen.fill
            for i in range(count):
                fill(colors[i], ((i * 37 + frame) % 1248, (i * 53 + frame) % 688, 32, 32))
        pygame.display.flip()
        time.sleep(0.001)
        now = time.monotonic()
        if count_start is None and now - start >= WARM_UP:
            count_start, count_from = now, frame
        elif count_start is not None and now - count_start >= seconds:
            print("fps %.2f" % ((frame - count_from) / (now - count_start)), flush=True)
            return


if __name__ == "__main__":
    main()

/* Draws the dictionary program's busy indicator: a 16 x 16 ring of twelve
 * dots with a bright head that moves one dot a frame, twelve frames, looping
 * forever, index 0 transparent.  Written with giflib at development time:
 *   cc make_busy.c -lgif -lm -o make_busy && ./make_busy ../../../assets/dict/busy.gif
 */
#include <gif_lib.h>
#include <math.h>
#include <stdio.h>
#include <string.h>

#define SIZE 16
#define DOTS 12

int main(int argc, char** argv) {
  const char* out = argc > 1 ? argv[1] : "busy.gif";
  GifColorType colors[16];
  /* 0: transparent (white); 1..15: from pale blue-grey to a deep blue. */
  colors[0].Red = colors[0].Green = colors[0].Blue = 255;
  for (int i = 1; i < 16; ++i) {
    double t = (i - 1) / 14.0;
    colors[i].Red = (GifByteType)(214 - t * (214 - 24));
    colors[i].Green = (GifByteType)(222 - t * (222 - 74));
    colors[i].Blue = (GifByteType)(232 - t * (232 - 168));
  }
  int err = 0;
  GifFileType* gif = EGifOpenFileName(out, false, &err);
  if (!gif) {
    fprintf(stderr, "cannot create %s: %s\n", out, GifErrorString(err));
    return 1;
  }
  EGifSetGifVersion(gif, true);
  ColorMapObject* map = GifMakeMapObject(16, colors);
  EGifPutScreenDesc(gif, SIZE, SIZE, 4, 0, map);
  for (int frame = 0; frame < DOTS; ++frame) {
    if (frame == 0) {
      GifByteType loop[3] = {1, 0, 0}; /* loop count 0: forever */
      EGifPutExtensionLeader(gif, APPLICATION_EXT_FUNC_CODE);
      EGifPutExtensionBlock(gif, 11, "NETSCAPE2.0");
      EGifPutExtensionBlock(gif, 3, loop);
      EGifPutExtensionTrailer(gif);
      EGifPutComment(gif, "Hanakumo busy indicator");
    }
    GifByteType gce[4] = {(1 << 2) | 1, 3, 0, 0}; /* do not dispose, 3/100 s, index 0 transparent */
    EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, 4, gce);
    EGifPutImageDesc(gif, 0, 0, SIZE, SIZE, false, NULL);
    GifPixelType pixels[SIZE * SIZE];
    memset(pixels, 0, sizeof pixels);
    for (int d = 0; d < DOTS; ++d) {
      /* Age 0 is the head; older dots fade towards the pale end. */
      int age = (frame - d + DOTS) % DOTS;
      int shade = 15 - age * 14 / (DOTS - 1);
      double a = 2 * M_PI * d / DOTS - M_PI / 2;
      double cx = 7.5 + 5.6 * cos(a), cy = 7.5 + 5.6 * sin(a);
      /* Every frame covers the same pixels, so frames need no disposal. */
      double r = 1.45;
      for (int y = 0; y < SIZE; ++y)
        for (int x = 0; x < SIZE; ++x) {
          double dx = x + 0.5 - cx, dy = y + 0.5 - cy;
          if (dx * dx + dy * dy <= r * r && pixels[y * SIZE + x] < shade) pixels[y * SIZE + x] = (GifPixelType)shade;
        }
    }
    for (int y = 0; y < SIZE; ++y) EGifPutLine(gif, pixels + y * SIZE, SIZE);
  }
  GifFreeMapObject(map);
  if (EGifCloseFile(gif, &err) != GIF_OK) {
    fprintf(stderr, "cannot write %s: %s\n", out, GifErrorString(err));
    return 1;
  }
  return 0;
}

#include "frontends/gl/text_mode_renderer.h"

#include <GL/gl.h>

#include <cstring>
#include <vector>

#include "engine/core/text_screen.h"
#include "engine/resources/bitmap.h"

namespace {

constexpr float kVirtualWidth = static_cast<float>(kTextModeWidth);    // 640
constexpr float kVirtualHeight = static_cast<float>(kTextModeHeight);  // 400

GLuint gGlyphTexture = 0;   // name in the current context; made anew by every SetUpGL

// Client-side arrays for both draws, filled every frame, never reallocated.
struct VertexArrays {
  float positions[kScreenVertices * 3];   // x, y, 0 in window pixels before the bar offset
  float colours[kScreenVertices * 4];     // background for the first draw, foreground for the second
  float texCoords[kScreenVertices * 2];   // glyph pass only
};
VertexArrays gArrays;

inline void PutColour(float* out, int colour) {
  const float* rgb = Palette16[colour & 15];
  for (int v = 0; v < kVerticesPerCell; ++v, out += 4) {
    out[0] = rgb[0];
    out[1] = rgb[1];
    out[2] = rgb[2];
    out[3] = 1.0f;
  }
}

}  // namespace

GlyphCell* GlyphCells() { return TextScreen::Get()->FrontEnd<GlyphScreen>()->cells; }

void ClearGlyphCells() { std::memset(GlyphCells(), 0, sizeof(GlyphScreen)); }

ViewFit FitTextScreen(int width, int height) {
  const float w = static_cast<float>(width);
  const float h = static_cast<float>(height);
  ViewFit fit;
  fit.scale = h / kVirtualHeight > w / kVirtualWidth ? w / kVirtualWidth : h / kVirtualHeight;
  fit.offsetX = (w - kVirtualWidth * fit.scale) / 2.0f;
  fit.offsetY = (h - kVirtualHeight * fit.scale) / 2.0f;
  fit.cell = static_cast<float>(kGlyphPixels) * fit.scale;
  return fit;
}

void ResizeView(int width, int height) {
  // glOrtho refuses an empty range, which would keep a stale projection.
  if (height <= 0) height = 1;
  if (width <= 0) width = 1;
  glViewport(0, 0, width, height);
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  glOrtho(0.0, width, height, 0.0, -1.0, 1.0);
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
}

void BuildGlyphTexels(const Bitmap& glyphImage, uint8_t* texels) {
  std::memset(texels, 0, static_cast<size_t>(kGlyphTexels) * 4);
  if (glyphImage.pixels == nullptr || glyphImage.pixelCount <= 0) return;
  const uint32_t available = static_cast<uint32_t>(glyphImage.pixelCount);
  for (uint32_t y = 0; y < kGlyphImageEdge && y < glyphImage.height; ++y) {
    for (uint32_t x = 0; x < kGlyphImageEdge && x < glyphImage.width; ++x) {
      const uint64_t index = uint64_t{y} * glyphImage.width + x;
      if (index >= available) return;   // a bitmap holding fewer pixels than its size says
      // The pixel word p | p << 24 in little-endian byte order.
      const uint32_t p = glyphImage.pixels[index];
      const uint32_t word = p | (p << 24);
      uint8_t* t = texels + (static_cast<size_t>(y) * kGlyphImageEdge + x) * 4;
      t[0] = static_cast<uint8_t>(word);
      t[1] = static_cast<uint8_t>(word >> 8);
      t[2] = static_cast<uint8_t>(word >> 16);
      t[3] = static_cast<uint8_t>(word >> 24);
    }
  }
}

bool SetUpGLWithImage(const Bitmap& glyphImage) {
  glShadeModel(GL_FLAT);
  glClearColor(0.0f, 0.0f, 0.0f, 0.5f);
  glClearDepth(1.0);
  glDisable(GL_DEPTH_TEST);
  glHint(GL_PERSPECTIVE_CORRECTION_HINT, GL_FASTEST);
  glHint(GL_POINT_SMOOTH_HINT, GL_FASTEST);
  glHint(GL_POLYGON_SMOOTH_HINT, GL_FASTEST);
  glGenTextures(1, &gGlyphTexture);

  std::vector<uint8_t> texels(static_cast<size_t>(kGlyphTexels) * 4);
  BuildGlyphTexels(glyphImage, texels.data());
  glBindTexture(GL_TEXTURE_2D, gGlyphTexture);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP);
  glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, kGlyphImageEdge, kGlyphImageEdge, 0, GL_RGBA, GL_UNSIGNED_BYTE,
               texels.data());
  return glGetError() == GL_NO_ERROR;
}

bool SetUpGL() {
  Bitmap* glyphImage = LoadBitmap("textmodechars.png");
  const bool ok = SetUpGLWithImage(*glyphImage);
  ReleaseBitmap(glyphImage);
  return ok;
}

void PrepareGlyphCells() { DecodeToGlyphCells(TextScreen::Get()->cells, GlyphCells()); }

void DrawTextScreen(int width, int height) {
  const ViewFit fit = FitTextScreen(width, height);
  const GlyphCell* glyphs = GlyphCells();

  glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
  glClear(GL_COLOR_BUFFER_BIT);

  // Background pass: positions once for both draws, background colours.
  float* position = gArrays.positions;
  float* colour = gArrays.colours;
  for (int row = 0; row < kScreenHeight; ++row) {
    for (int column = 0; column < kScreenWidth; ++column) {
      const float x0 = static_cast<float>(column) * fit.cell;
      const float x1 = x0 + fit.cell;
      const float y0 = static_cast<float>(row) * fit.cell;
      const float y1 = y0 + fit.cell;
      const float corners[kVerticesPerCell][2] = {{x0, y0}, {x1, y0}, {x0, y1}, {x0, y1}, {x1, y0}, {x1, y1}};
      for (int v = 0; v < kVerticesPerCell; ++v, position += 3) {
        position[0] = corners[v][0];
        position[1] = corners[v][1];
        position[2] = 0.0f;
      }
      PutColour(colour, static_cast<int>(glyphs[row * kScreenWidth + column].attribute >> 4));
      colour += kVerticesPerCell * 4;
    }
  }

  glDisable(GL_BLEND);
  glBlendFunc(GL_ZERO, GL_ZERO);
  glDisable(GL_TEXTURE_2D);
  glEnableClientState(GL_VERTEX_ARRAY);
  glEnableClientState(GL_COLOR_ARRAY);
  glLoadIdentity();
  glTranslatef(fit.offsetX, fit.offsetY, 0.0f);
  glColorPointer(4, GL_FLOAT, 0, gArrays.colours);
  glVertexPointer(3, GL_FLOAT, 0, gArrays.positions);
  glDrawArrays(GL_TRIANGLES, 0, kScreenVertices);

  // Glyph pass: foreground colours and the slot's texels over the same quads.
  colour = gArrays.colours;
  float* uv = gArrays.texCoords;
  for (int i = 0; i < kScreenCells; ++i) {
    PutColour(colour, static_cast<int>(glyphs[i].attribute));
    colour += kVerticesPerCell * 4;
    const float uLeft = static_cast<float>(2 * (glyphs[i].slot & 15) + 1) * kGlyphSlotSpan;
    const float uRight = uLeft + kGlyphSlotSpan;
    // The glyphs stand in the texture's second row of 8 x 8 slots (texel
    // rows 8..15), every other slot across; 0.06248 is twice the span, so the
    // quad's bottom edge stays a hair inside the slot, like its other edges.
    const float vTop = kGlyphSlotSpan;
    const float vBottom = 0.06248f;
    const float corners[kVerticesPerCell][2] = {{uLeft, vTop},    {uRight, vTop}, {uLeft, vBottom},
                                                {uLeft, vBottom}, {uRight, vTop}, {uRight, vBottom}};
    for (int v = 0; v < kVerticesPerCell; ++v, uv += 2) {
      uv[0] = corners[v][0];
      uv[1] = corners[v][1];
    }
  }

  glBindTexture(GL_TEXTURE_2D, gGlyphTexture);
  glEnable(GL_BLEND);
  glEnable(GL_TEXTURE_2D);
  glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
  glEnableClientState(GL_TEXTURE_COORD_ARRAY);
  glTexCoordPointer(2, GL_FLOAT, 0, gArrays.texCoords);
  glDrawArrays(GL_TRIANGLES, 0, kScreenVertices);

  glDisable(GL_TEXTURE_2D);
  glDisableClientState(GL_VERTEX_ARRAY);
  glDisableClientState(GL_COLOR_ARRAY);
  glDisableClientState(GL_TEXTURE_COORD_ARRAY);
}

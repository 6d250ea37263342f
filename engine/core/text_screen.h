// The single 80 x 50 text screen: cell buffers, depth buffer, camera and the
// front-end's own per-screen area.
#pragma once

#include <cstddef>
#include <cstdint>
#include <new>
#include <type_traits>

#include "engine/core/cell.h"

struct Camera;

constexpr int kCellBufferRoom = 10000;    // cells per buffer; the first 4000 are the screen
constexpr size_t kFrontEndBytes = 32768;  // room for 4000 two-word glyph records

// 16.16 depth per cell, filled by the mesh effects before they draw.
using DepthBuffer = int32_t[kScreenCells];

struct TextScreen {
  Camera* camera;                    // owned; created with the screen
  Cell* cells;                       // always mainCells: what effects fill and front-ends read
  Cell mainCells[kCellBufferRoom];
  Cell workCells[kCellBufferRoom];   // second effect of a cross-fade; never cleared by the engine
  DepthBuffer depth;
  alignas(16) unsigned char frontEnd[kFrontEndBytes];  // the engine never touches it

  // The screen, created on first call (nothing in it is cleared).
  static TextScreen* Get();
  // Releases the camera, then the screen. The next Get creates a new one.
  static void Release();

  // The front-end's own record type laid over the front-end area.
  template <typename T>
  T* FrontEnd() {
    static_assert(sizeof(T) <= kFrontEndBytes, "front-end state does not fit");
    static_assert(std::is_trivially_copyable_v<T>, "front-end state must be plain data");
    return std::launder(reinterpret_cast<T*>(frontEnd));
  }
};

// Every byte of the 4000 screen cells of mainCells set to 0.
void ClearScreenCells(TextScreen& screen);

// FNV-1a (32-bit) over 4000 cells, each as four little-endian bytes: a
// frame's fingerprint, the same on every platform for the same cells.
uint32_t CellsDigest(const Cell* cells);

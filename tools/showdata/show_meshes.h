#pragma once
// The show's generated meshes: one generator per file, and the table that
// make_show_data walks to write them.

#include <span>
#include <string>

#include "tools/showdata/mesh_build.h"
#include "tools/showdata/mesh_file.h"

namespace showdata {

// "pineapple3.ase.bin": the opening's emblem, a skull in relief 4.0 units
// wide, 6.0 tall and 1.0 thick: a closed surface of 5934 faces (front relief
// with brow, cheekbones, teeth, and bowls for the eyes and the nose; rounded
// rim; flat back). The faces of the eye and nose bowls (440) are mapped by
// texture coordinates, each bowl showing the whole of "env_red.png", a lit
// ball, so that the sockets glow like eyes; every other face is
// environment-mapped.
//
// The skull logo spins the object about the axis kSkullUp (the one its tilt
// of 12000 steps about X turns onto the spin's own axis), so the skull stands
// upright along that axis, its face towards +X, the side the camera sees at
// 1000 ms. The camera brings that axis in from the left (it reaches column 5
// at about 4.5 s), holds it between columns 5 and 35 until about 11.5 s and
// then carries it off to the lower right; at 14.5 cells per unit the face-on
// skull fills two thirds of the screen, and the kSkullLift raise along the
// axis puts its eyes a little above the middle row.
MeshFile MakeSkullMesh();

// The skull's frame in object space: right, up (the spin axis), front.
extern const Vec3 kSkullRight;
extern const Vec3 kSkullUp;
extern const Vec3 kSkullFront;
constexpr double kSkullLift = 1.2;    // units along kSkullUp
// At the skull effect's camera distance a unit spans about 14.5 rows: 2.0 keeps
// the whole emblem (about 55 rows with its glow) nearly on the 50-row screen.
constexpr double kSkullScale = 2.0;   // units per outline unit (half the height)

// "box.ase.bin": a rounded box, |x|^6 + |y|^6 + |z|^6 = 2.5^6, so it spans
// -2.5..2.5 on every axis, its faces gently domed and its edges and corners
// round: 768 faces, all environment-mapped, with the surface's own unit
// normals.
MeshFile MakeBoxMesh();
constexpr double kBoxHalfSize = 2.5;

struct ShowMesh {
  const char* fileName;
  MeshFile (*generate)();
};

// Every mesh make_show_data writes, in writing order.
std::span<const ShowMesh> ShowMeshes();

// Writes every mesh of ShowMeshes into the existing directory dir. Returns
// false at the first failure, with a one-line reason in error.
bool WriteShowMeshes(const std::string& dir, std::string& error);

}  // namespace showdata

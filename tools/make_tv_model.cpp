// Writes the television model: Models/tv.x (a 1980s portable set: rounded cabinet, dark bezel
// round a slightly inset, slightly curved screen, a control panel with two knobs and a speaker
// grille, feet and a pair of telescopic aerials) and its texture files. Built with the project,
// run by hand: make_tv_model <Models folder>.
//
// The scene lights everything with white ambient light alone, so shading is baked in: most
// surfaces use TV_Shade.tga, a grey ramp, with u chosen from the surface's facing against a light
// from the upper left front. Material 1 (glass over the screen) is never drawn by the scene.
// Left-handed, y up, the screen faces -z; the cabinet is centred on the origin, 120 units wide.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <numbers>
#include <string>
#include <vector>

namespace {

struct V3 {
  double x, y, z;
};
V3 operator+(V3 a, V3 b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
V3 operator-(V3 a, V3 b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
V3 operator*(V3 a, double s) { return {a.x * s, a.y * s, a.z * s}; }
double Dot(V3 a, V3 b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
V3 Cross(V3 a, V3 b) { return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x}; }
V3 Norm(V3 a) {
  const double l = std::sqrt(Dot(a, a));
  return l > 0 ? a * (1 / l) : a;
}

enum Material { CASE, GLASS, SCREEN, BEZEL, PANEL, KNOB, CHROME, MATERIAL_COUNT };

struct MaterialDef {
  const char* name;
  double r, g, b, a, power, sr, sg, sb, er, eg, eb;
  const char* texture;
};

const MaterialDef kMaterials[MATERIAL_COUNT] = {
    {"Cabinet", 0.86, 0.84, 0.80, 1, 20, 0.3, 0.3, 0.3, 0, 0, 0, "TV_Shade.tga"},
    {"Glass", 0.60, 0.70, 0.80, 0.25, 60, 0.8, 0.8, 0.8, 0, 0, 0, "TV_Glass.tga"},
    {"Screen", 1, 1, 1, 1, 0, 0, 0, 0, 0, 0, 0, "TV_Scree.tga"},
    {"Bezel", 0.20, 0.20, 0.22, 1, 10, 0.2, 0.2, 0.2, 0, 0, 0, "TV_Shade.tga"},
    {"Panel", 1, 1, 1, 1, 10, 0.1, 0.1, 0.1, 0, 0, 0, "TV_Panel.tga"},
    {"Knob", 0.80, 0.80, 0.84, 1, 40, 0.6, 0.6, 0.6, 0, 0, 0, "TV_Shade.tga"},
    {"Chrome", 0.95, 0.95, 1.00, 1, 80, 1, 1, 1, 0, 0, 0, "TV_Shade.tga"},
};

// The baked light; TV_Shade.tga's column u has brightness 0.3 + 0.7 u.
const V3 kLight = Norm({-0.35, 0.55, -1.0});
double ShadeU(V3 normal) {
  const double lit = 0.48 + 0.52 * std::max(0.0, Dot(Norm(normal), kLight));
  return std::clamp((lit - 0.3) / 0.7, 0.0, 1.0);
}

struct Vertex {
  V3 p, n;
  double u, v;
};

struct Model {
  std::vector<Vertex> vertices;
  std::vector<std::vector<uint32_t>> faces;
  std::vector<int> faceMaterial;

  // A polygon given in either winding; it is stored clockwise as seen from `outward`, the side
  // it is seen from (the front faces of a left-handed scene).
  void Face(std::vector<Vertex> corners, V3 outward, Material material) {
    const V3 turn = Cross(corners[1].p - corners[0].p, corners[2].p - corners[0].p);
    if (Dot(turn, outward) < 0) std::reverse(corners.begin(), corners.end());
    std::vector<uint32_t> face;
    for (const Vertex& c : corners) {
      face.push_back(static_cast<uint32_t>(vertices.size()));
      vertices.push_back(c);
    }
    faces.push_back(face);
    faceMaterial.push_back(material);
  }

  // A flat polygon shaded by its facing.
  void Flat(const std::vector<V3>& points, V3 outward, Material material) {
    std::vector<Vertex> corners;
    const double u = ShadeU(outward);
    for (const V3& p : points) corners.push_back({p, Norm(outward), u, 0.5});
    Face(corners, outward, material);
  }

  // An axis-aligned box from lo to hi; `skip` leaves out faces (bit per -x,+x,-y,+y,-z,+z).
  void Box(V3 lo, V3 hi, Material material, int skip = 0) {
    const V3 c[8] = {{lo.x, lo.y, lo.z}, {hi.x, lo.y, lo.z}, {lo.x, hi.y, lo.z}, {hi.x, hi.y, lo.z},
                     {lo.x, lo.y, hi.z}, {hi.x, lo.y, hi.z}, {lo.x, hi.y, hi.z}, {hi.x, hi.y, hi.z}};
    const int quads[6][4] = {{0, 2, 6, 4}, {1, 3, 7, 5}, {0, 1, 5, 4},
                             {2, 3, 7, 6}, {0, 1, 3, 2}, {4, 5, 7, 6}};
    const V3 normals[6] = {{-1, 0, 0}, {1, 0, 0}, {0, -1, 0}, {0, 1, 0}, {0, 0, -1}, {0, 0, 1}};
    for (int f = 0; f < 6; ++f)
      if (!(skip & (1 << f)))
        Flat({c[quads[f][0]], c[quads[f][1]], c[quads[f][2]], c[quads[f][3]]}, normals[f], material);
  }

  // A rod of square section from a to b, `w` thick.
  void Rod(V3 a, V3 b, double w, Material material) {
    const V3 axis = Norm(b - a);
    const V3 side = Norm(Cross(axis, std::abs(axis.z) < 0.9 ? V3{0, 0, 1} : V3{1, 0, 0}));
    const V3 up = Norm(Cross(side, axis));
    const V3 offs[4] = {side * w + up * w, side * -w + up * w, side * -w + up * -w, side * w + up * -w};
    for (int i = 0; i < 4; ++i) {
      const V3 o0 = offs[i] * 0.5, o1 = offs[(i + 1) % 4] * 0.5;
      Flat({a + o0, a + o1, b + o1, b + o0}, Norm(o0 + o1), material);
    }
    Flat({b + offs[0] * 0.5, b + offs[1] * 0.5, b + offs[2] * 0.5, b + offs[3] * 0.5}, axis, material);
  }

  // A cylinder along -z from z0 to z1 (z1 < z0) with a flat cap, as knobs are.
  void Knob(double cx, double cy, double radius, double z0, double z1, Material material) {
    constexpr int kSides = 20;
    std::vector<V3> cap;
    for (int i = 0; i < kSides; ++i) {
      const double a0 = 2 * std::numbers::pi * i / kSides, a1 = 2 * std::numbers::pi * (i + 1) / kSides;
      const V3 n0{std::cos(a0), std::sin(a0), 0}, n1{std::cos(a1), std::sin(a1), 0};
      const V3 p0{cx + radius * n0.x, cy + radius * n0.y, 0}, p1{cx + radius * n1.x, cy + radius * n1.y, 0};
      std::vector<Vertex> quad = {{{p0.x, p0.y, z0}, n0, ShadeU(n0), 0.5},
                                  {{p1.x, p1.y, z0}, n1, ShadeU(n1), 0.5},
                                  {{p1.x, p1.y, z1}, n1, ShadeU(n1), 0.5},
                                  {{p0.x, p0.y, z1}, n0, ShadeU(n0), 0.5}};
      Face(quad, n0 + n1, material);
      cap.push_back({p0.x, p0.y, z1});
    }
    Flat(cap, {0, 0, -1}, material);
  }
};

// A box with rounded edges: each face is a grid whose points are pushed onto the rounding.
void RoundedBox(Model& m, V3 half, double r, Material material) {
  const double tans[] = {0, std::tan(std::numbers::pi / 12), std::tan(std::numbers::pi / 6), 1};
  auto coords = [&](double h) {
    std::vector<double> c;
    for (int i = 3; i >= 0; --i) c.push_back(-(h - r) - r * tans[i]);
    for (int i = 0; i < 4; ++i) c.push_back((h - r) + r * tans[i]);
    return c;
  };
  const V3 inner{half.x - r, half.y - r, half.z - r};
  auto round = [&](V3 p) -> Vertex {
    const V3 q{std::clamp(p.x, -inner.x, inner.x), std::clamp(p.y, -inner.y, inner.y),
               std::clamp(p.z, -inner.z, inner.z)};
    const V3 n = Norm(p - q);
    return {q + n * r, n, ShadeU(n), 0.5};
  };
  const double hs[3] = {half.x, half.y, half.z};
  for (int axis = 0; axis < 3; ++axis)
    for (int sign = -1; sign <= 1; sign += 2) {
      const int a = (axis + 1) % 3, b = (axis + 2) % 3;
      const std::vector<double> ca = coords(hs[a]), cb = coords(hs[b]);
      V3 outward{0, 0, 0};
      double* o = &outward.x;
      o[axis] = sign;
      for (size_t i = 0; i + 1 < ca.size(); ++i)
        for (size_t j = 0; j + 1 < cb.size(); ++j) {
          std::vector<Vertex> quad;
          const double us[4] = {ca[i], ca[i + 1], ca[i + 1], ca[i]};
          const double vs[4] = {cb[j], cb[j], cb[j + 1], cb[j + 1]};
          for (int k = 0; k < 4; ++k) {
            V3 p{0, 0, 0};
            double* pp = &p.x;
            pp[axis] = sign * hs[axis];
            pp[a] = us[k];
            pp[b] = vs[k];
            quad.push_back(round(p));
          }
          m.Face(quad, outward, material);
        }
    }
}

// ---- layout (units) ----
constexpr double kHalfW = 60, kHalfH = 46, kHalfD = 38, kRound = 7;
constexpr double kFront = -kHalfD;                  // the cabinet's front face
constexpr double kBezelFront = kFront - 3;          // the bezel stands proud of it
constexpr double kScreenEdge = kFront - 1.2;        // the screen sits inside the bezel
constexpr double kScreenBulge = 1.4;                // towards the viewer at its centre
constexpr double kSx0 = -47, kSx1 = 25, kSy0 = -25, kSy1 = 29;  // 72 x 54: the picture's 4:3
constexpr double kBx0 = -52, kBx1 = 30, kBy0 = -35, kBy1 = 37;  // bezel outline
constexpr double kLip = 1.6;                        // bezel opening's chamfer
constexpr double kPx0 = 33, kPx1 = 52, kPy0 = -37, kPy1 = 37;   // control panel
constexpr double kPanelFront = kFront - 1;

void Screen(Model& m) {
  constexpr int kCols = 16, kRows = 12;
  auto at = [](int i, int j) -> Vertex {
    const double s = static_cast<double>(i) / kCols, t = static_cast<double>(j) / kRows;
    const double x = kSx0 + (kSx1 - kSx0) * s, y = kSy1 - (kSy1 - kSy0) * t;
    const double nx = 2 * s - 1, ny = 2 * t - 1;
    const double z = kScreenEdge - kScreenBulge * (1 - nx * nx) * (1 - ny * ny);
    // The 320 x 256 screen texture holds the picture in rows 32-223 with its border round it;
    // rows 8-247, 24 lines of border above and below, fill the 4:3 screen.
    return {{x, y, z}, {0, 0, -1}, s, (8 + 240 * t) / 256};
  };
  for (int i = 0; i < kCols; ++i)
    for (int j = 0; j < kRows; ++j)
      m.Face({at(i, j), at(i + 1, j), at(i + 1, j + 1), at(i, j + 1)}, {0, 0, -1}, SCREEN);
  // The glass in front of it: never drawn, so it must not matter what it looks like.
  const double g = kScreenEdge - kScreenBulge - 0.2;
  m.Face({{{kSx0, kSy0, g}, {0, 0, -1}, 0, 1}, {{kSx1, kSy0, g}, {0, 0, -1}, 1, 1},
          {{kSx1, kSy1, g}, {0, 0, -1}, 1, 0}, {{kSx0, kSy1, g}, {0, 0, -1}, 0, 0}},
         {0, 0, -1}, GLASS);
}

void Bezel(Model& m) {
  // Front ring between the outline and the chamfered opening, as four trapezoids.
  const V3 outer[4] = {{kBx0, kBy1, kBezelFront}, {kBx1, kBy1, kBezelFront},
                       {kBx1, kBy0, kBezelFront}, {kBx0, kBy0, kBezelFront}};
  const V3 lip[4] = {{kSx0 - kLip, kSy1 + kLip, kBezelFront}, {kSx1 + kLip, kSy1 + kLip, kBezelFront},
                     {kSx1 + kLip, kSy0 - kLip, kBezelFront}, {kSx0 - kLip, kSy0 - kLip, kBezelFront}};
  const V3 edge[4] = {{kSx0, kSy1, kScreenEdge}, {kSx1, kSy1, kScreenEdge},
                      {kSx1, kSy0, kScreenEdge}, {kSx0, kSy0, kScreenEdge}};
  for (int i = 0; i < 4; ++i) {
    const int k = (i + 1) % 4;
    m.Flat({outer[i], outer[k], lip[k], lip[i]}, {0, 0, -1}, BEZEL);
    // The chamfer slopes in to the screen; it faces the middle of the opening.
    const V3 mid = (lip[i] + lip[k]) * 0.5;
    const V3 inward = Norm(V3{(kSx0 + kSx1) / 2 - mid.x, (kSy0 + kSy1) / 2 - mid.y, 0});
    m.Flat({lip[i], lip[k], edge[k], edge[i]}, Norm(inward + V3{0, 0, -1.2}), BEZEL);
    // The outline's side walls back to the cabinet, facing up, right, down and left in turn.
    const V3 back_i{outer[i].x, outer[i].y, kFront}, back_k{outer[k].x, outer[k].y, kFront};
    const V3 sides[4] = {{0, 1, 0}, {1, 0, 0}, {0, -1, 0}, {-1, 0, 0}};
    m.Flat({outer[i], outer[k], back_k, back_i}, sides[i], BEZEL);
  }
}

void Panel(Model& m) {
  // A plate standing 1 unit proud of the front, textured with its grille and markings.
  const double u0 = 0, u1 = 1, v0 = 0, v1 = 1;
  m.Face({{{kPx0, kPy1, kPanelFront}, {0, 0, -1}, u0, v0}, {{kPx1, kPy1, kPanelFront}, {0, 0, -1}, u1, v0},
          {{kPx1, kPy0, kPanelFront}, {0, 0, -1}, u1, v1}, {{kPx0, kPy0, kPanelFront}, {0, 0, -1}, u0, v1}},
         {0, 0, -1}, PANEL);
  m.Box({kPx0, kPy0, kPanelFront}, {kPx1, kPy1, kFront}, BEZEL, 1 << 4 | 1 << 5);
  // Two knobs (channel and volume) with a pointer line on each.
  const double cx = (kPx0 + kPx1) / 2;
  const double knobs[2][2] = {{24, -0.6}, {6, 0.9}};
  for (const auto& k : knobs) {
    const double y = k[0], angle = k[1], top = kPanelFront - 6;
    m.Knob(cx, y, 6.2, kPanelFront, kPanelFront - 2, BEZEL);  // the knob's dark skirt
    m.Knob(cx, y, 5.0, kPanelFront - 2, top, KNOB);
    const V3 d{std::sin(angle), std::cos(angle), 0}, s{d.y, -d.x, 0};
    const V3 c{cx, y, top - 0.1};
    m.Flat({c + s * 0.6, c + d * 4.2 + s * 0.6, c + d * 4.2 - s * 0.6, c - s * 0.6}, {0, 0, -1}, BEZEL);
  }
}

void Stand(Model& m) {
  for (double x : {-44.0, 44.0}) m.Box({x - 8, -kHalfH - 4, -28}, {x + 8, -kHalfH + 1, 28}, BEZEL);
  // The aerial's hub on the top at the back right, and two telescopic rods in a V.
  const V3 hub{36, kHalfH + 2.5, 18};
  m.Box({hub.x - 6, kHalfH - 1, hub.z - 5}, {hub.x + 6, hub.y + 1.5, hub.z + 5}, BEZEL);
  const V3 base{hub.x, hub.y + 1.5, hub.z};
  const V3 tips[2] = {{base.x + 42, base.y + 62, base.z + 8}, {base.x - 30, base.y + 68, base.z + 8}};
  for (const V3& tip : tips) {
    const V3 mid = base + (tip - base) * 0.55;
    m.Rod(base, mid, 1.8, CHROME);
    m.Rod(mid, tip, 1.2, CHROME);
  }
}

// ---- files ----
bool WriteTga(const std::string& path, int w, int h, const std::vector<uint32_t>& rgb) {
  std::ofstream out(path, std::ios::binary);
  const uint8_t header[18] = {0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0,
                              static_cast<uint8_t>(w), static_cast<uint8_t>(w >> 8),
                              static_cast<uint8_t>(h), static_cast<uint8_t>(h >> 8),
                              24, 0x20};  // 24-bit, top row first
  out.write(reinterpret_cast<const char*>(header), sizeof header);
  for (uint32_t p : rgb) {
    const char bgr[3] = {static_cast<char>(p & 0xFF), static_cast<char>((p >> 8) & 0xFF),
                         static_cast<char>((p >> 16) & 0xFF)};
    out.write(bgr, 3);
  }
  return static_cast<bool>(out);
}

uint32_t Rgb(double r, double g, double b) {
  auto c = [](double v) { return static_cast<uint32_t>(std::clamp(v, 0.0, 1.0) * 255 + 0.5); };
  return c(r) << 16 | c(g) << 8 | c(b);
}

std::vector<uint32_t> ShadeImage() {
  std::vector<uint32_t> img(128 * 4);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 128; ++x) {
      const double v = 0.3 + 0.7 * (x + 0.5) / 128;
      img[y * 128 + x] = Rgb(v, v, v);
    }
  return img;
}

// The screen when no machine shows on it: a dark, switched-off tube catching the room's light.
std::vector<uint32_t> ScreenImage() {
  std::vector<uint32_t> img(320 * 256);
  for (int y = 0; y < 256; ++y)
    for (int x = 0; x < 320; ++x) {
      const double s = x / 319.0, t = std::clamp((y - 8) / 239.0, 0.0, 1.0);
      const double edge = std::min({s, 1 - s, t, 1 - t});
      const double vignette = 0.55 + 0.45 * std::min(1.0, edge * 6);
      const double dx = s - 0.28, dy = t - 0.22;
      const double glare = 0.22 * std::exp(-(dx * dx * 9 + dy * dy * 14));
      const double base = 0.16 * vignette + glare;
      img[y * 320 + x] = Rgb(base * 0.90, base * 1.02, base * 0.96);
    }
  return img;
}

// The control panel, 64 x 256 over the panel's 19 x 74 units, top row first.
std::vector<uint32_t> PanelImage() {
  const int w = 64, h = 256;
  std::vector<uint32_t> img(w * h);
  auto unitY = [&](double y) { return (kPy1 - y) / (kPy1 - kPy0) * h; };
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      uint32_t c = Rgb(0.24, 0.24, 0.26);
      if (x < 2 || x >= w - 2 || y < 2 || y >= h - 2) c = Rgb(0.14, 0.14, 0.15);
      // Speaker grille: horizontal slots.
      if (y > unitY(-6) && y < unitY(-29) && x > 8 && x < w - 8 && (y / 3) % 2 == 0)
        c = Rgb(0.05, 0.05, 0.05);
      img[y * w + x] = c;
    }
  // Scale marks round each knob.
  for (double ky : {24.0, 6.0}) {
    const double cy = unitY(ky), cx = w / 2.0;
    for (int i = 0; i <= 8; ++i) {
      const double a = -2.3 + 4.6 * i / 8;
      const int mx = static_cast<int>(cx + std::sin(a) * 27), my = static_cast<int>(cy - std::cos(a) * 27);
      for (int dy = -1; dy <= 1; ++dy)
        for (int dx = -1; dx <= 1; ++dx)
          if (mx + dx >= 0 && mx + dx < w && my + dy >= 0 && my + dy < h)
            img[(my + dy) * w + mx + dx] = Rgb(0.85, 0.85, 0.85);
    }
  }
  // The power lamp, lit.
  const double ly = unitY(-33), lx = w / 2.0;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
      if ((x - lx) * (x - lx) + (y - ly) * (y - ly) < 9) img[y * w + x] = Rgb(1.0, 0.2, 0.1);
  return img;
}

std::string Num(double v) {
  char text[32];
  std::snprintf(text, sizeof text, "%.6f", std::abs(v) < 5e-7 ? 0.0 : v);
  return text;
}

bool WriteX(const std::string& path, const Model& m) {
  std::ofstream out(path);
  out << "xof 0303txt 0032\n";
  out << "// Glimmerbox television: written by tools/make_tv_model.\n\n";
  out << "Frame Television {\n FrameTransformMatrix {\n  1.0,0.0,0.0,0.0,0.0,1.0,0.0,0.0,"
         "0.0,0.0,1.0,0.0,0.0,0.0,0.0,1.0;;\n }\n\n Mesh TelevisionMesh {\n";
  const size_t nv = m.vertices.size();
  out << "  " << nv << ";\n";
  for (size_t i = 0; i < nv; ++i) {
    const V3& p = m.vertices[i].p;
    out << "  " << Num(p.x) << ";" << Num(p.y) << ";" << Num(p.z) << ";" << (i + 1 < nv ? "," : ";") << "\n";
  }
  auto faceList = [&](std::ostream& o) {
    o << "  " << m.faces.size() << ";\n";
    for (size_t f = 0; f < m.faces.size(); ++f) {
      o << "  " << m.faces[f].size() << ";";
      for (size_t k = 0; k < m.faces[f].size(); ++k) o << m.faces[f][k] << (k + 1 < m.faces[f].size() ? "," : "");
      o << ";" << (f + 1 < m.faces.size() ? "," : ";") << "\n";
    }
  };
  faceList(out);
  out << "\n  MeshMaterialList {\n   " << MATERIAL_COUNT << ";\n   " << m.faces.size() << ";\n";
  for (size_t f = 0; f < m.faceMaterial.size(); ++f)
    out << "   " << m.faceMaterial[f] << (f + 1 < m.faceMaterial.size() ? "," : ";") << "\n";
  for (const MaterialDef& d : kMaterials) {
    out << "\n   Material " << d.name << " {\n    " << Num(d.r) << ";" << Num(d.g) << ";" << Num(d.b)
        << ";" << Num(d.a) << ";;\n    " << Num(d.power) << ";\n    " << Num(d.sr) << ";" << Num(d.sg)
        << ";" << Num(d.sb) << ";;\n    " << Num(d.er) << ";" << Num(d.eg) << ";" << Num(d.eb)
        << ";;\n    TextureFilename {\n     \"" << d.texture << "\";\n    }\n   }\n";
  }
  out << "  }\n\n  MeshNormals {\n   " << nv << ";\n";
  for (size_t i = 0; i < nv; ++i) {
    const V3 n = Norm(m.vertices[i].n);
    out << "   " << Num(n.x) << ";" << Num(n.y) << ";" << Num(n.z) << ";" << (i + 1 < nv ? "," : ";") << "\n";
  }
  faceList(out);
  out << "  }\n\n  MeshTextureCoords {\n   " << nv << ";\n";
  for (size_t i = 0; i < nv; ++i)
    out << "   " << Num(m.vertices[i].u) << ";" << Num(m.vertices[i].v) << ";" << (i + 1 < nv ? "," : ";") << "\n";
  out << "  }\n }\n}\n";
  return static_cast<bool>(out);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_tv_model <Models folder>\n");
    return 2;
  }
  const std::string folder = argv[1];
  Model m;
  RoundedBox(m, {kHalfW, kHalfH, kHalfD}, kRound, CASE);
  Screen(m);
  Bezel(m);
  Panel(m);
  Stand(m);
  bool ok = WriteX(folder + "/tv.x", m);
  ok = WriteTga(folder + "/TV_Shade.tga", 128, 4, ShadeImage()) && ok;
  ok = WriteTga(folder + "/TV_Scree.tga", 320, 256, ScreenImage()) && ok;
  ok = WriteTga(folder + "/TV_Panel.tga", 64, 256, PanelImage()) && ok;
  ok = WriteTga(folder + "/TV_Glass.tga", 8, 8, std::vector<uint32_t>(64, Rgb(0.8, 0.9, 1.0))) && ok;
  if (!ok) {
    std::fprintf(stderr, "make_tv_model: cannot write into %s\n", folder.c_str());
    return 1;
  }
  std::printf("make_tv_model: %zu vertices, %zu faces written to %s\n", m.vertices.size(),
              m.faces.size(), folder.c_str());
  return 0;
}

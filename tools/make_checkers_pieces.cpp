// Writes the checkers demo's two piece models as ASCII scene exports (ASE): a turned
// draughts piece 40 units across and 11 high, centred on its origin, with rounded edges,
// a raised rim round a recessed top and a bead ring in the middle of the top.
// Usage: make_checkers_pieces OUTPUT_DIRECTORY
//
// Axes: the file is Z-up, as exports are; the engine's reader turns positions and normals
// alike, (x, y, z) into (x, z, -y). The reader keeps one normal per vertex index: vertices
// are duplicated along creases.
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

namespace
{
constexpr int c_Segments = 32;
constexpr double c_Pi = 3.14159265358979323846;

// A point of the turned profile: radius r, height z and the outward normal (nr, nz).
struct ProfilePoint
{
    double r, z, nr, nz, length; // length: distance along the profile, for texture v
};

// The profile as smooth runs: consecutive runs meet at a crease, where the shared point
// is repeated with each run's own normal.
class Profile
{
public:
    Profile(double r, double z) : m_R(r), m_Z(z) { crease(); }

    // Starts a new smooth run at the current point.
    void crease() { m_Runs.emplace_back(); }

    // A straight segment to (r, z) in `steps` pieces.
    void line(double r, double z, int steps)
    {
        const double dr = r - m_R, dz = z - m_Z, length = std::hypot(dr, dz);
        const double nr = dz / length, nz = -dr / length; // the right-hand side of travel
        const double r0 = m_R, z0 = m_Z;
        for (int i = 0; i <= steps; ++i)
            add(r0 + dr * i / steps, z0 + dz * i / steps, nr, nz);
    }

    // A convex circular arc about (cr, cz) from the current point to angle `to` (radians,
    // from the r axis toward z); its normal points away from the centre.
    void arc(double cr, double cz, double to, int steps)
    {
        const double radius = std::hypot(m_R - cr, m_Z - cz), from = std::atan2(m_Z - cz, m_R - cr);
        for (int i = 0; i <= steps; ++i) {
            const double a = from + (to - from) * i / steps;
            add(cr + radius * std::cos(a), cz + radius * std::sin(a), std::cos(a), std::sin(a));
        }
    }

    const std::vector<std::vector<ProfilePoint>>& runs() const { return m_Runs; }
    double length() const { return m_Length; }

private:
    void add(double r, double z, double nr, double nz)
    {
        std::vector<ProfilePoint>& run = m_Runs.back();
        if (!run.empty() && std::hypot(run.back().r - r, run.back().z - z) < 1e-9)
            return; // the point that joins two segments of one run is kept once
        m_Length += run.empty() ? 0.0 : std::hypot(r - m_R, z - m_Z);
        run.push_back({r, z, nr, nz, m_Length});
        m_R = r;
        m_Z = z;
    }

    double m_R, m_Z, m_Length = 0.0;
    std::vector<std::vector<ProfilePoint>> m_Runs;
};

Profile pieceProfile()
{
    const double half = 5.5; // half the height
    Profile p(0.0, -half);
    p.line(18.0, -half, 1);                 // underside
    p.arc(18.0, -half + 2.0, 0.0, 3);       // lower rounded edge
    p.line(20.0, half - 2.0, 1);            // side
    p.arc(18.0, half - 2.0, c_Pi / 2.0, 3); // upper rounded edge
    p.line(16.5, half, 1);                  // top of the rim
    p.arc(16.5, half - 1.0, c_Pi, 2);       // inner rounding of the rim
    p.line(15.5, 4.0, 1);                   // inner wall down to the recessed top
    p.crease();
    p.line(10.8, 4.0, 1);
    p.crease();
    p.arc(10.0, 4.0, c_Pi, 4); // bead ring
    p.crease();
    p.line(0.0, 4.0, 1);
    return p;
}

struct Vertex
{
    double x, y, z, nx, ny, nz, u, v;
};

struct Face
{
    int a, b, c;
    double nx, ny, nz;
    int smoothing; // one group per smooth run, as exporters mark creases
};

struct Model
{
    std::vector<Vertex> vertices;
    std::vector<Face> faces;
};

// Appends a triangle wound counter-clockwise seen from outside, skipping degenerate ones
// (the rings of radius 0 at the centres).
void addTriangle(Model& model, int a, int b, int c, int group)
{
    const Vertex &p = model.vertices[a], &q = model.vertices[b], &s = model.vertices[c];
    const double ux = q.x - p.x, uy = q.y - p.y, uz = q.z - p.z;
    const double vx = s.x - p.x, vy = s.y - p.y, vz = s.z - p.z;
    double nx = uy * vz - uz * vy, ny = uz * vx - ux * vz, nz = ux * vy - uy * vx;
    const double area = std::sqrt(nx * nx + ny * ny + nz * nz);
    if (area < 1e-9)
        return;
    nx /= area;
    ny /= area;
    nz /= area;
    if (nx * (p.nx + q.nx + s.nx) + ny * (p.ny + q.ny + s.ny) + nz * (p.nz + q.nz + s.nz) < 0.0) {
        model.faces.push_back({a, c, b, -nx, -ny, -nz, group});
        return;
    }
    model.faces.push_back({a, b, c, nx, ny, nz, group});
}

Model turn(const Profile& profile)
{
    Model model;
    int group = 0;
    for (const std::vector<ProfilePoint>& run : profile.runs()) {
        ++group;
        const int first = static_cast<int>(model.vertices.size());
        const int rows = static_cast<int>(run.size());
        // One more column than segments: the seam repeats the first column with u = 1.
        for (int j = 0; j <= c_Segments; ++j) {
            const double a = 2.0 * c_Pi * j / c_Segments, c = std::cos(a), s = std::sin(a);
            for (const ProfilePoint& p : run)
                model.vertices.push_back({p.r * c, p.r * s, p.z, p.nr * c, p.nr * s, p.nz, double(j) / c_Segments,
                                          p.length / profile.length()});
        }
        auto index = [&](int row, int column) { return first + column * rows + row; };
        for (int j = 0; j < c_Segments; ++j)
            for (int i = 0; i + 1 < rows; ++i) {
                addTriangle(model, index(i, j), index(i + 1, j), index(i + 1, j + 1), group);
                addTriangle(model, index(i, j), index(i + 1, j + 1), index(i, j + 1), group);
            }
    }
    return model;
}

// Rounding noise would otherwise print as -0.0000.
double clean(double v)
{
    return std::fabs(v) < 5e-5 ? 0.0 : v;
}

void writeNormal(std::FILE* f, const char* keyword, int index, double x, double y, double z)
{
    std::fprintf(f, "%s %d\t%.4f\t%.4f\t%.4f\n", keyword, index, clean(x), clean(y), clean(z));
}

bool write(const std::string& path, const std::string& name, const Model& model)
{
    std::FILE* f = std::fopen(path.c_str(), "w");
    if (!f) {
        std::fprintf(stderr, "make_checkers_pieces: cannot write \"%s\"\n", path.c_str());
        return false;
    }
    const size_t nv = model.vertices.size(), nf = model.faces.size();
    std::fprintf(f, "*3DSMAX_ASCIIEXPORT\t200\n*COMMENT \"Tessellon checkers piece, made by make_checkers_pieces\"\n");
    std::fprintf(
        f,
        "*SCENE {\n\t*SCENE_FILENAME \"%s\"\n\t*SCENE_FIRSTFRAME 0\n\t*SCENE_LASTFRAME 0\n"
        "\t*SCENE_FRAMESPEED 30\n\t*SCENE_TICKSPERFRAME 160\n"
        "\t*SCENE_BACKGROUND_STATIC 0.0000\t0.0000\t0.0000\n\t*SCENE_AMBIENT_STATIC 0.0000\t0.0000\t0.0000\n}\n",
        name.c_str());
    std::fprintf(f,
                 "*GEOMOBJECT {\n\t*NODE_NAME \"%s\"\n\t*NODE_TM {\n\t\t*NODE_NAME \"%s\"\n"
                 "\t\t*INHERIT_POS 0 0 0\n\t\t*INHERIT_ROT 0 0 0\n\t\t*INHERIT_SCL 0 0 0\n"
                 "\t\t*TM_ROW0 1.0000\t0.0000\t0.0000\n\t\t*TM_ROW1 0.0000\t1.0000\t0.0000\n"
                 "\t\t*TM_ROW2 0.0000\t0.0000\t1.0000\n\t\t*TM_ROW3 0.0000\t0.0000\t0.0000\n"
                 "\t\t*TM_POS 0.0000\t0.0000\t0.0000\n\t\t*TM_ROTAXIS 0.0000\t0.0000\t0.0000\n"
                 "\t\t*TM_ROTANGLE 0.0000\n\t\t*TM_SCALE 1.0000\t1.0000\t1.0000\n"
                 "\t\t*TM_SCALEAXIS 0.0000\t0.0000\t0.0000\n\t\t*TM_SCALEAXISANG 0.0000\n\t}\n",
                 name.c_str(), name.c_str());
    std::fprintf(f, "\t*MESH {\n\t\t*TIMEVALUE 0\n\t\t*MESH_NUMVERTEX %zu\n\t\t*MESH_NUMFACES %zu\n", nv, nf);
    std::fprintf(f, "\t\t*MESH_VERTEX_LIST {\n");
    for (size_t i = 0; i < nv; ++i)
        std::fprintf(f, "\t\t\t*MESH_VERTEX %5zu\t%.4f\t%.4f\t%.4f\n", i, clean(model.vertices[i].x),
                     clean(model.vertices[i].y), clean(model.vertices[i].z));
    std::fprintf(f, "\t\t}\n\t\t*MESH_FACE_LIST {\n");
    for (size_t i = 0; i < nf; ++i)
        std::fprintf(f,
                     "\t\t\t*MESH_FACE %5zu:    A: %5d B: %5d C: %5d AB:    1 BC:    1 CA:    1\t *MESH_SMOOTHING %d "
                     "\t*MESH_MTLID 0\n",
                     i, model.faces[i].a, model.faces[i].b, model.faces[i].c, model.faces[i].smoothing);
    std::fprintf(f, "\t\t}\n\t\t*MESH_NUMTVERTEX %zu\n\t\t*MESH_TVERTLIST {\n", nv);
    for (size_t i = 0; i < nv; ++i)
        std::fprintf(f, "\t\t\t*MESH_TVERT %zu\t%.4f\t%.4f\t0.0000\n", i, model.vertices[i].u, model.vertices[i].v);
    std::fprintf(f, "\t\t}\n\t\t*MESH_NUMTVFACES %zu\n\t\t*MESH_TFACELIST {\n", nf);
    for (size_t i = 0; i < nf; ++i)
        std::fprintf(f, "\t\t\t*MESH_TFACE %zu\t%d\t%d\t%d\n", i, model.faces[i].a, model.faces[i].b, model.faces[i].c);
    std::fprintf(f, "\t\t}\n\t\t*MESH_NORMALS {\n");
    for (size_t i = 0; i < nf; ++i) {
        const Face& face = model.faces[i];
        writeNormal(f, "\t\t\t*MESH_FACENORMAL", static_cast<int>(i), face.nx, face.ny, face.nz);
        for (int corner : {face.a, face.b, face.c}) {
            const Vertex& v = model.vertices[corner];
            writeNormal(f, "\t\t\t\t*MESH_VERTEXNORMAL", corner, v.nx, v.ny, v.nz);
        }
    }
    std::fprintf(f, "\t\t}\n\t}\n\t*PROP_MOTIONBLUR 0\n\t*PROP_CASTSHADOW 1\n\t*PROP_RECVSHADOW 1\n}\n");
    const bool ok = !std::ferror(f);
    return std::fclose(f) == 0 && ok;
}
} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_checkers_pieces OUTPUT_DIRECTORY\n");
        return 2;
    }
    const std::string dir = std::string(argv[1]) + "/";
    const Model piece = turn(pieceProfile());
    const bool ok =
        write(dir + "pion_rouge.ASE", "pion_rouge", piece) && write(dir + "pion_noir.ASE", "pion_noir", piece);
    return ok ? 0 : 1;
}

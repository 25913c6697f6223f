// Time and memory of loading ASE models into a ready Rendering::Mesh, against the Open
// Asset Import Library's importer (no post-processing) measured in the same run: a
// generated export of 33 objects of 2,000 vertices and 4,000 faces with normals and
// texture coordinates (about 50 MB), and each conformance file. Peak memory is measured
// in a fresh process per load, as the rise of its peak resident size during the load.
// Usage: ase_load [--smoke] [conformance folder]
//   --smoke  a 2-object export and a few rounds: keeps the benchmark working, figures
//            not meaningful.
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "rendering/Geometry.h"
#include "rendering/Mesh.h"
#include "rendering/Primitive.h"

#ifdef TESSELLON_HAVE_ASSIMP
#include <assimp/Importer.hpp>
#include <assimp/scene.h>
#endif

namespace
{
namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

// A deterministic stream of numbers, the same on every machine.
class Random
{
public:
    std::uint32_t next()
    {
        m_State = m_State * 6364136223846793005ULL + 1442695040888963407ULL;
        return static_cast<std::uint32_t>(m_State >> 33);
    }
    double uniform(double low, double high) { return low + (high - low) * (next() / 2147483648.0); }

private:
    std::uint64_t m_State = 12345;
};

// Writes an export the way a modelling package lays it out: scene, material list, then
// per object its node matrix, vertices, faces with edge flags, smoothing group and
// material id, texture vertices and faces, and face and vertex normals.
void writeExport(const std::string& path, int objects, int vertices, int faces)
{
    std::ofstream out(path, std::ios::binary);
    Random random;
    char line[256];
    out << "*3DSMAX_ASCIIEXPORT\t200\n*COMMENT \"AsciiExport-Version  2,00 - benchmark\"\n"
           "*SCENE {\n\t*SCENE_FILENAME \"bench.max\"\n\t*SCENE_FIRSTFRAME 0\n\t*SCENE_LASTFRAME 100\n}\n"
           "*MATERIAL_LIST {\n\t*MATERIAL_COUNT 1\n\t*MATERIAL 0 {\n\t\t*MATERIAL_NAME \"Wood\"\n"
           "\t\t*MATERIAL_CLASS \"Standard\"\n\t\t*MATERIAL_DIFFUSE 0.6000\t0.4000\t0.2000\n\t}\n}\n";
    for (int o = 0; o < objects; ++o) {
        out << "*GEOMOBJECT {\n\t*NODE_NAME \"Object" << o << "\"\n\t*NODE_TM {\n\t\t*NODE_NAME \"Object" << o
            << "\"\n\t\t*TM_ROW0 1.0000\t0.0000\t0.0000\n\t\t*TM_ROW1 0.0000\t1.0000\t0.0000\n"
               "\t\t*TM_ROW2 0.0000\t0.0000\t1.0000\n\t\t*TM_ROW3 "
            << o * 10 << ".0000\t0.0000\t0.0000\n\t}\n\t*MESH {\n\t\t*TIMEVALUE 0\n\t\t*MESH_NUMVERTEX " << vertices
            << "\n\t\t*MESH_NUMFACES " << faces << "\n\t\t*MESH_VERTEX_LIST {\n";
        for (int i = 0; i < vertices; ++i) {
            std::snprintf(line, sizeof(line), "\t\t\t*MESH_VERTEX %4d\t%.4f\t%.4f\t%.4f\n", i, random.uniform(-50, 50),
                          random.uniform(-50, 50), random.uniform(-50, 50));
            out << line;
        }
        std::vector<int> corners(3 * static_cast<std::size_t>(faces));
        for (int& corner : corners)
            corner = static_cast<int>(random.next() % static_cast<std::uint32_t>(vertices));
        out << "\t\t}\n\t\t*MESH_FACE_LIST {\n";
        for (int f = 0; f < faces; ++f) {
            std::snprintf(line, sizeof(line),
                          "\t\t\t*MESH_FACE %4d:    A: %4d B: %4d C: %4d AB:    1 BC:    1 CA:    0\t "
                          "*MESH_SMOOTHING 1 \t*MESH_MTLID 0\n",
                          f, corners[3 * f], corners[3 * f + 1], corners[3 * f + 2]);
            out << line;
        }
        out << "\t\t}\n\t\t*MESH_NUMTVERTEX " << vertices << "\n\t\t*MESH_TVERTLIST {\n";
        for (int i = 0; i < vertices; ++i) {
            std::snprintf(line, sizeof(line), "\t\t\t*MESH_TVERT %d\t%.4f\t%.4f\t0.0000\n", i, random.uniform(0, 1),
                          random.uniform(0, 1));
            out << line;
        }
        out << "\t\t}\n\t\t*MESH_NUMTVFACES " << faces << "\n\t\t*MESH_TFACELIST {\n";
        for (int f = 0; f < faces; ++f) {
            std::snprintf(line, sizeof(line), "\t\t\t*MESH_TFACE %d\t%d\t%d\t%d\n", f, corners[3 * f],
                          corners[3 * f + 1], corners[3 * f + 2]);
            out << line;
        }
        out << "\t\t}\n\t\t*MESH_NUMCVERTEX 0\n\t\t*MESH_NORMALS {\n";
        for (int f = 0; f < faces; ++f) {
            std::snprintf(line, sizeof(line), "\t\t\t*MESH_FACENORMAL %d\t%.4f\t%.4f\t%.4f\n", f, random.uniform(-1, 1),
                          random.uniform(-1, 1), random.uniform(-1, 1));
            out << line;
            for (int c = 0; c < 3; ++c) {
                std::snprintf(line, sizeof(line), "\t\t\t\t*MESH_VERTEXNORMAL %d\t%.4f\t%.4f\t%.4f\n",
                              corners[3 * f + c], random.uniform(-1, 1), random.uniform(-1, 1), random.uniform(-1, 1));
                out << line;
            }
        }
        out << "\t\t}\n\t}\n\t*PROP_MOTIONBLUR 0\n\t*PROP_CASTSHADOW 1\n\t*PROP_RECVSHADOW 1\n\t*MATERIAL_REF 0\n}\n";
    }
}

template <typename T>
std::size_t bytesOf(const std::vector<T>& v)
{
    return v.capacity() * sizeof(T);
}

// What the finished mesh holds: its arrays and index lists.
std::size_t meshBytes(const Rendering::Mesh& mesh)
{
    std::size_t bytes = sizeof(mesh) + bytesOf(mesh.getGeometries());
    for (Rendering::Geometry* g : mesh.getGeometries()) {
        bytes += sizeof(*g) + bytesOf(g->getVertexArray()) + bytesOf(g->getNormalArray()) +
                 bytesOf(g->getTexCoordArray()) + bytesOf(g->getColorArray()) + bytesOf(g->getPrimitives());
        for (Rendering::Primitive* p : g->getPrimitives())
            bytes += sizeof(*p) + bytesOf(p->getVertexIndicesArray()) + bytesOf(p->getTexturesIndicesArray()) +
                     bytesOf(p->getNormalIndicesArray()) + bytesOf(p->getColorIndicesArray()) +
                     bytesOf(p->getSmoothingGroupsArray());
    }
    return bytes;
}

// Loads into a ready mesh; returns its size in bytes. The mesh's own progress line is
// not part of the measurement.
std::size_t loadOurs(const std::string& path)
{
    std::ostringstream discard;
    std::streambuf* saved = std::cout.rdbuf(discard.rdbuf());
    std::size_t bytes;
    {
        Rendering::Mesh mesh(path);
        bytes = meshBytes(mesh);
    }
    std::cout.rdbuf(saved);
    return bytes;
}

#ifdef TESSELLON_HAVE_ASSIMP
std::size_t loadAssimp(const std::string& path)
{
    Assimp::Importer importer;
    const aiScene* scene = importer.ReadFile(path, 0);
    return scene ? scene->mNumMeshes : 0;
}
#endif

long statusKiB(const char* field)
{
    std::ifstream status("/proc/self/status");
    std::string line;
    const std::size_t length = std::strlen(field);
    while (std::getline(status, line))
        if (line.compare(0, length, field) == 0)
            return std::atol(line.c_str() + length);
    return -1;
}

struct Memory
{
    double peakMiB = 0; // rise of the peak resident size during the load
    double meshMiB = 0; // size of the finished mesh
    bool measured = false;
};

// Measures one load in a fresh process (this program started again with --memory), whose
// heap holds nothing yet that an earlier load freed.
Memory measureMemory(const char* loader, const std::string& path)
{
    Memory memory;
    const std::string command = "/proc/" + std::to_string(getpid()) + "/exe --memory " + loader + " '" + path + "'";
    FILE* child = popen(command.c_str(), "r");
    if (!child)
        return memory;
    memory.measured = std::fscanf(child, "%lf %lf", &memory.peakMiB, &memory.meshMiB) == 2;
    memory.measured = pclose(child) == 0 && memory.measured;
    return memory;
}

// The child's side: the rise of the peak resident size over the size just before the load.
int reportMemory(const std::string& loader, const std::string& path)
{
    std::ofstream("/proc/self/clear_refs") << "5";
    const long before = statusKiB("VmRSS:");
    std::size_t bytes = 0;
    if (loader == "ours")
        bytes = loadOurs(path);
#ifdef TESSELLON_HAVE_ASSIMP
    else
        loadAssimp(path);
#endif
    const long peak = statusKiB("VmHWM:");
    std::printf("%f %f\n", (peak - before) / 1024.0, bytes / (1024.0 * 1024.0));
    return before > 0 && peak > 0 ? 0 : 1;
}

// Median time of one load in milliseconds, over `rounds` rounds of `repeat` loads each.
double medianMs(int rounds, int repeat, const std::function<std::size_t()>& load)
{
    std::vector<double> times;
    for (int r = 0; r < rounds; ++r) {
        const auto start = Clock::now();
        for (int i = 0; i < repeat; ++i)
            load();
        times.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count() / repeat);
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

double fileMiB(const std::string& path)
{
    return static_cast<double>(fs::file_size(path)) / (1024.0 * 1024.0);
}
} // namespace

int main(int argc, char** argv)
{
    if (argc == 4 && std::strcmp(argv[1], "--memory") == 0)
        return reportMemory(argv[2], argv[3]);
    bool smoke = false;
    std::string conformance;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--smoke") == 0)
            smoke = true;
        else
            conformance = argv[i];
    }
#ifndef TESSELLON_HAVE_ASSIMP
    std::printf("assimp not found when building: the comparison with its importer is skipped\n");
#endif

    const fs::path exportPath = fs::temp_directory_path() / ("tessellon_ase_load_" + std::to_string(getpid()) + ".ASE");
    const int objects = smoke ? 2 : 33;
    writeExport(exportPath.string(), objects, 2000, 4000);
    const std::string big = exportPath.string();
    const double size = fileMiB(big);
    std::printf("Generated export: %d objects of 2000 vertices and 4000 faces, %.1f MiB\n", objects, size);

    const int rounds = smoke ? 1 : 7;
    const double ours = medianMs(rounds, 1, [&] { return loadOurs(big); });
    std::printf("  ours    %8.1f ms  (%.0f MiB/s)\n", ours, size / (ours / 1000.0));
    const Memory memory = measureMemory("ours", big);
    if (memory.measured) {
        const double budget = (size + memory.meshMiB) * 1.1;
        std::printf("  peak memory %.1f MiB = %.2f x (file %.1f MiB + mesh %.1f MiB); budget with 10 %%: %.1f MiB%s\n",
                    memory.peakMiB, memory.peakMiB / (size + memory.meshMiB), size, memory.meshMiB, budget,
                    memory.peakMiB <= budget ? "" : "  ** over budget **");
    }
#ifdef TESSELLON_HAVE_ASSIMP
    const double theirs = medianMs(rounds, 1, [&] { return loadAssimp(big); });
    std::printf("  assimp  %8.1f ms\n", theirs);
    const Memory theirMemory = measureMemory("assimp", big);
    if (theirMemory.measured)
        std::printf("  assimp peak memory %.1f MiB\n", theirMemory.peakMiB);
    std::printf("  speed ratio assimp / ours: %.2f (target >= 1.5)%s\n", theirs / ours,
                theirs / ours >= 1.5 ? "" : "  ** below target **");
#endif
    fs::remove(exportPath);

    if (conformance.empty() || !fs::is_directory(conformance)) {
        std::printf("No conformance folder given or found: the conformance files are skipped\n");
        return 0;
    }
    std::vector<std::string> files;
    for (const auto& entry : fs::recursive_directory_iterator(conformance)) {
        const std::string name = entry.path().string();
        if (entry.is_regular_file() &&
            (name.find(".ase") != std::string::npos || name.find(".ASE") != std::string::npos))
            files.push_back(name);
    }
    std::sort(files.begin(), files.end());
    std::printf("Conformance files (median of one load, microseconds):\n");
    const int repeat = smoke ? 2 : 100;
    for (const std::string& file : files) {
        const double mine = medianMs(rounds, repeat, [&] { return loadOurs(file); }) * 1000.0;
        std::printf("  %-70s ours %8.1f", fs::relative(file, conformance).string().c_str(), mine);
#ifdef TESSELLON_HAVE_ASSIMP
        const double other = medianMs(rounds, repeat, [&] { return loadAssimp(file); }) * 1000.0;
        std::printf("  assimp %8.1f  ratio %5.2f", other, other / mine);
#endif
        std::printf("\n");
    }
    return 0;
}

// The stages of the graph build, timed one by one, with one worker and then
// two: where the time goes, and how much of it the pool shares out.
//
//     build/bench/bench_stages building.txt [runs] [wall_thickness]
//
// With a wall thickness, the stages of the build across walls instead.
//
// The building comes as text from `python bench/bench_stages.py`: for the
// meshes, the wires and the apertures in turn, a count line, then per mesh a
// line "vertex-count face-count", the vertices "x y z" and the faces
// "n i0 ... i(n-1)", per wire "x0 y0 z0 x1 y1 z1".
#include <chrono>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <functional>
#include <iostream>
#include <memory>
#include <string>

#include <tbb/global_control.h>

#include "core/parallel_tasks.hpp"
#include "registry/aperture_index.hpp"
#include "registry/face_index.hpp"
#include "registry/graph_build.hpp"
#include "registry/wall_contacts.hpp"
#include "registry/wire_contacts.hpp"

using namespace velmarin;

namespace {

std::vector<Mesh> read_meshes(std::istream& in) {
    std::size_t count = 0;
    in >> count;
    std::vector<Mesh> meshes(count);
    for (Mesh& mesh : meshes) {
        std::size_t vertices = 0, faces = 0;
        in >> vertices >> faces;
        mesh.vertices.resize(vertices);
        for (Vector3D& v : mesh.vertices) in >> v.x >> v.y >> v.z;
        std::vector<std::uint64_t> face;
        for (std::size_t f = 0; f < faces; ++f) {
            std::size_t n = 0;
            in >> n;
            face.resize(n);
            for (auto& index : face) in >> index;
            mesh.faces.push_back(face);
        }
    }
    return meshes;
}

SpatialRegistry read_registry(const char* path) {
    std::ifstream in(path);
    SpatialRegistry registry;
    registry.meshes = read_meshes(in);
    std::size_t wires = 0;
    in >> wires;
    registry.wires.resize(wires);
    for (Wire& w : registry.wires) in >> w.start.x >> w.start.y >> w.start.z >> w.end.x >> w.end.y >> w.end.z;
    registry.apertures = read_meshes(in);
    if (!in) throw std::runtime_error("cannot read the building");
    return registry;
}

double cpu_now() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

// Wall and processor seconds of one step (processor time summed over threads).
struct Timing {
    double wall = 1e300;
    double cpu = 0.0;
};

// The fastest of `runs` runs of one step.
Timing best(int runs, const std::function<void()>& step) {
    Timing fastest;
    for (int r = 0; r < runs; ++r) {
        const auto began = std::chrono::steady_clock::now();
        const double cpu = cpu_now();
        step();
        const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();
        if (wall < fastest.wall) fastest = {wall, cpu_now() - cpu};
    }
    return fastest;
}

void print(const char* name, const Timing& t) {
    std::printf("  %-15s %8.3f s wall %8.3f s cpu\n", name, t.wall, t.cpu);
}

// The contacts of every mesh, counted.
template <class Contact, class Find>
std::size_t count_contacts(std::size_t meshes, const Find& find) {
    std::size_t count = 0;
    for (const auto& list : run_by_position<std::vector<Contact>>(meshes, find)) count += list.size();
    return count;
}

// wall_thickness < 0: the build without walls.
double stages(const SpatialRegistry& registry, double tolerance, double wall_thickness, int workers, int runs) {
    tbb::global_control limit(tbb::global_control::max_allowed_parallelism, workers);
    const bool walls = wall_thickness >= 0.0;
    const double reach = walls ? std::fmax(wall_thickness, tolerance) : tolerance;
    std::unique_ptr<FaceIndex> faces;
    std::vector<std::vector<FacePlane>> planes;
    std::vector<FacingFacts> facts;
    std::unique_ptr<ApertureIndex> apertures;
    std::size_t contacts = 0;
    auto wire_stage = [&] { find_wire_contacts(registry.wires, registry.meshes, Search::Indexed); };
    auto index_stage = [&] { faces = std::make_unique<FaceIndex>(registry.meshes, reach); };
    auto plane_stage = [&] {
        planes = face_planes(registry.meshes);
        if (walls) facts = facing_facts(registry.meshes, planes);
    };
    auto aperture_stage = [&] { apertures = std::make_unique<ApertureIndex>(registry.apertures, tolerance); };
    const Timing wires = best(runs, wire_stage);
    const Timing index = best(runs, index_stage);
    const Timing plane = best(runs, plane_stage);
    const Timing holes = best(runs, aperture_stage);
    // As the build runs them: side by side on the pool.
    const Timing together = best(runs, [&] { run_side_by_side(wire_stage, index_stage, plane_stage, aperture_stage); });
    const ContactScene scene{registry.meshes, planes, *faces, *apertures, tolerance, Search::Indexed};
    const WallScene wall_scene{scene, facts, wall_thickness, wall_thickness, reach};
    const std::size_t meshes = registry.meshes.size();
    const Timing parallel = best(runs, [&] {
        contacts =
            walls
                ? count_contacts<WallContact>(meshes, [&](std::size_t i) { return find_wall_contacts(wall_scene, i); })
                : count_contacts<CellContact>(meshes, [&](std::size_t i) { return find_cell_contacts(scene, i); });
    });
    const Timing whole = best(runs, [&] {
        if (walls) {
            (void)build_graph_with_walls(registry, tolerance, wall_thickness);
        } else {
            build_graph(registry, tolerance);
        }
    });
    std::printf("%d worker(s), %zu contacts\n", workers, contacts);
    print("wire contacts", wires);
    print("face index", index);
    print("face planes", plane);
    print("aperture index", holes);
    print("these four", together);
    print(walls ? "wall contacts" : "cell contacts", parallel);
    print("whole build", whole);
    if (workers == 1) {
        // What two idle cores could give at most: the four stages side by
        // side take at least the longest of them (gathering the edges not
        // counted).
        const double serial = wires.cpu + index.cpu + plane.cpu + holes.cpu;
        const double longest = std::fmax(std::fmax(wires.cpu, index.cpu), std::fmax(plane.cpu, holes.cpu));
        const double two = std::fmax(longest, serial / 2.0) + parallel.cpu / 2.0;
        std::printf("  share of the stages before the contacts %.0f%%; two idle cores could give at most %.2f\n",
                    100.0 * serial / (serial + parallel.cpu), (serial + parallel.cpu) / two);
    }
    return whole.wall;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::cerr << "usage: bench_stages building.txt [runs] [wall_thickness]\n";
        return 2;
    }
    const SpatialRegistry registry = read_registry(argv[1]);
    const int runs = argc > 2 ? std::stoi(argv[2]) : 3;
    const double wall_thickness = argc > 3 ? std::stod(argv[3]) : -1.0;
    std::printf("%zu meshes, %zu wires, %zu apertures\n", registry.meshes.size(), registry.wires.size(),
                registry.apertures.size());
    const double one = stages(registry, 0.01, wall_thickness, 1, runs);
    const double two = stages(registry, 0.01, wall_thickness, 2, runs);
    std::printf("speed-up of the whole build with two workers: %.2f\n", one / two);
}

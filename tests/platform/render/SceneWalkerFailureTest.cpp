// The parallel mesh build when a helper thread cannot start or its work throws: the walk
// must finish on the calling thread, or hand the exception to the caller, never end the
// process. This executable replaces pthread_create and the global allocation functions so a
// test can make them fail on demand.
#include "RenderTestScene.h"

#include "platform/render/SceneWalker.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <dlfcn.h>
#include <new>
#include <pthread.h>
#include <thread>
#include <vector>

using namespace ketra::render;
using namespace ketra::render::testing;

namespace {
std::atomic<bool> g_refuseThreads{false};
std::atomic<int> g_refusedThreads{0};
std::atomic<bool> g_refuseLargeAllocations{false};
constexpr std::size_t kLargeAllocation = 1 << 20;

void* Allocate(std::size_t size) {
    if (g_refuseLargeAllocations.load(std::memory_order_relaxed) && size >= kLargeAllocation)
        throw std::bad_alloc();
    if (void* p = std::malloc(size ? size : 1))
        return p;
    throw std::bad_alloc();
}
} // namespace

extern "C" int pthread_create(pthread_t* thread, const pthread_attr_t* attr, void* (*start)(void*), void* arg) {
    using Create = int (*)(pthread_t*, const pthread_attr_t*, void* (*)(void*), void*);
    static const Create real = reinterpret_cast<Create>(dlsym(RTLD_NEXT, "pthread_create"));
    if (g_refuseThreads.load()) {
        ++g_refusedThreads;
        return EAGAIN;
    }
    return real(thread, attr, start, arg);
}

void* operator new(std::size_t size) { return Allocate(size); }
void* operator new[](std::size_t size) { return Allocate(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    try {
        return Allocate(size);
    } catch (...) {
        return nullptr;
    }
}
void* operator new[](std::size_t size, const std::nothrow_t& tag) noexcept { return operator new(size, tag); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { std::free(p); }

namespace {

// Enough separate shells that the build uses helper threads (it does from 64 on).
void InsertManyShells(int count) {
    const int faces[4] = {3, 0, 1, 2};
    for (int i = 0; i < count; ++i) {
        const float x = -0.9f + 1.8f * static_cast<float>(i) / static_cast<float>(count);
        const float points[9] = {x, -0.5f, 0, x + 0.01f, -0.5f, 0, x, 0.5f, 0};
        HC_Insert_Shell(3, points, 4, faces);
    }
}

bool BuildOnce(const TestScene& scene, MeshCache& cache, DrawList& list) {
    WalkSettings settings;
    std::string error;
    const bool ok = BuildDrawList(scene.Key(), settings, cache, list, &error);
    EXPECT_TRUE(ok) << error;
    return ok;
}

} // namespace

TEST(SceneWalkerFailure, HelpersThatCannotStartLeaveTheWorkToTheCaller) {
    if (std::thread::hardware_concurrency() < 2)
        GTEST_SKIP() << "one core: the build starts no helper";
    TestScene scene("walk no threads");
    scene.Open("model");
    InsertManyShells(300);
    HC_Close_Segment();

    MeshCache cache;
    DrawList list;
    g_refusedThreads = 0;
    g_refuseThreads = true;
    bool ok = false;
    EXPECT_NO_THROW(ok = BuildOnce(scene, cache, list));
    g_refuseThreads = false;
    EXPECT_TRUE(ok);
    EXPECT_GE(g_refusedThreads.load(), 1);
    // Every shell was still built, by the calling thread.
    ASSERT_FALSE(list.layers.empty());
    EXPECT_EQ(list.Main().meshes.size(), 300u);
    for (const MeshDraw& draw : list.Main().meshes)
        EXPECT_TRUE(draw.mesh && draw.mesh->VertexCount() > 0);
}

TEST(SceneWalkerFailure, AnExceptionInTheMeshBuildReachesTheCaller) {
    if (std::thread::hardware_concurrency() < 2)
        GTEST_SKIP() << "one core: the build starts no helper";
    TestScene scene("walk bad alloc");
    scene.Open("model");
    InsertManyShells(200);
    // One shell large enough that building its mesh asks for more than a megabyte.
    const int n = 200000;
    std::vector<float> points(static_cast<std::size_t>(n) * 3);
    for (int i = 0; i < n; ++i) {
        points[static_cast<std::size_t>(i) * 3] = static_cast<float>(i % 400) / 400.0f - 0.5f;
        points[static_cast<std::size_t>(i) * 3 + 1] = static_cast<float>(i / 400) / 500.0f - 0.5f;
    }
    std::vector<int> faces;
    for (int i = 0; i + 2 < n; i += 3)
        faces.insert(faces.end(), {3, i, i + 1, i + 2});
    HC_Insert_Shell(n, points.data(), static_cast<int>(faces.size()), faces.data());
    HC_Close_Segment();

    MeshCache cache;
    DrawList list;
    WalkSettings settings;
    g_refuseLargeAllocations = true;
    EXPECT_THROW(BuildDrawList(scene.Key(), settings, cache, list), std::bad_alloc);
    g_refuseLargeAllocations = false;

    // The scene and the cache are still usable afterwards.
    DrawList again;
    EXPECT_TRUE(BuildOnce(scene, cache, again));
    EXPECT_EQ(again.Main().meshes.size(), 201u);
}

#include "platform/render/GlBackend.h"
#include "platform/render/OutlineEdges.h"

#include "platform/render/DcCallbacks.h"
#include "platform/render/GlFrame.h"
#include "platform/render/GlShaders.h"
#include "platform/render/LineCaps.h"
#include "platform/render/MeshBuilder.h"
#include "platform/render/ProgramVariant.h"
#include "platform/render/TextRenderer.h"
#include "platform/render/Texturing.h"
#include "platform/sys/HugePages.h"

#include <algorithm>
#include <limits>
#include <array>
#include <initializer_list>
#include <map>
#include <memory>
#include <optional>
#include <cmath>
#include <cstddef>
#include <cstring>
#include <unordered_map>
#include <type_traits>
#include <unordered_set>
#include <utility>

namespace ketra::render {

namespace cm = CameraMath;

namespace {

// Vertices merged per batch stay under this so a changed item rebuilds only its chunk, and
// the batch's indices fit in 16 bits (an item larger than this alone takes 32-bit indices).
constexpr size_t kChunkVertices = 1u << 16;
// Indices (or points) drawn between flushes: about ten thousand triangles.
constexpr size_t kFlushIndices = 1u << 15;
// Triangle indices drawn at once from a chunk larger than kChunkVertices: 65,536 triangles,
// about what a chunk of 16-bit indices holds.
constexpr size_t kPieceIndices = 3u << 16;
// Frames after which the buffers of a coarser motion level that no frame drew are freed.
constexpr std::uint64_t kIdleLevelFrames = 16;
constexpr float kCreaseCos = 0.17364818f;  // folds sharper than 80 degrees count as outlines
// Outline edges of coloured faces shorter than this on screen are not drawn (OutlineScreen).
constexpr float kShortestOutlinePixels = 0.5f;

struct FaceVertex {
    float position[3];
    std::uint32_t normal;  // GL_INT_2_10_10_10_REV
    std::uint32_t color;
};
struct LineVertex {
    float position[3];
    std::uint32_t color;
};
struct MarkerVertex {
    float position[3];
    std::uint32_t color;
    float symbol, size;
};
struct TexturedVertex {
    float position[3];
    std::uint32_t normal;  // GL_INT_2_10_10_10_REV
    std::uint32_t color;
    float uv[2];
};

// FNV-1a style mixing for batch signatures.
struct Hasher {
    std::uint64_t h = 1469598103934665603ull;
    void Add(std::uint64_t v) {
        h ^= v + 0x9E3779B97F4A7C15ull + (h << 6) + (h >> 2);
        h *= 1099511628211ull;
    }
    void AddFloat(float f) {
        std::uint32_t bits;
        std::memcpy(&bits, &f, 4);
        Add(bits);
    }
    void AddDouble(double d) {
        std::uint64_t bits;
        std::memcpy(&bits, &d, 8);
        Add(bits);
    }
    void AddColor(const Color& c) { Add(PackColor(c)); }
    void AddMatrix(const cm::Matrix4& m) {
        for (double v : m.m) AddDouble(v);
    }
};

// One vertex attribute of a batch's layout: its shader location, component count, type and
// byte offset in the vertex (normalised for the integer types).
struct VertexAttribute {
    GLuint location;
    GLint components;
    GLenum type;
    size_t offset;
};

// Gives a new batch its vertex array and buffers (an index buffer when `indexed`) and sets the
// vertex layout; a batch that has them already is left alone.
template <typename Batch>
void LayOut(Batch& batch, size_t stride, std::initializer_list<VertexAttribute> attributes);
template <typename Batch>
void EnsureLayout(Batch& batch, size_t stride, std::initializer_list<VertexAttribute> attributes, bool indexed) {
    if (batch.vao) return;
    batch.vertices = std::make_shared<GlBuffer>(MakeBuffer());
    if (indexed) batch.indices = std::make_shared<GlBuffer>(MakeBuffer());
    LayOut(batch, stride, attributes);
}
// Makes the batch's vertex array over the buffers it holds (an index buffer if it has one).
template <typename Batch>
void LayOut(Batch& batch, size_t stride, std::initializer_list<VertexAttribute> attributes) {
    batch.vao = MakeVertexArray();
    glBindVertexArray(batch.vao.Get());
    glBindBuffer(GL_ARRAY_BUFFER, batch.vertices->Get());
    if (batch.indices) glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, batch.indices->Get());
    for (const VertexAttribute& a : attributes) {
        glEnableVertexAttribArray(a.location);
        glVertexAttribPointer(a.location, a.components, a.type, a.type == GL_FLOAT ? GL_FALSE : GL_TRUE,
                              static_cast<GLsizei>(stride), reinterpret_cast<void*>(a.offset));
    }
}

std::uint64_t SurfaceKey(const SurfaceState& s, bool hiddenOnly) {
    Hasher h;
    h.Add(static_cast<std::uint64_t>(s.shading));
    h.Add(s.lighting);
    h.AddColor(s.specular);
    h.AddFloat(s.gloss);
    h.AddFloat(s.depthRange.nearValue);
    h.AddFloat(s.depthRange.farValue);
    h.AddFloat(s.faceDisplacement);
    h.Add(static_cast<std::uint64_t>(s.clipSet + 1));
    h.Add(hiddenOnly);
    h.Add(s.cullBack);
    h.Add(s.mirrored);
    return h.h;
}

std::uint64_t LineKey(const LineState& s) {
    Hasher h;
    h.AddFloat(s.weight);
    h.Add(s.pattern.mask);
    h.AddFloat(s.pattern.scale);
    h.AddFloat(s.depthRange.nearValue);
    h.AddFloat(s.depthRange.farValue);
    h.Add(static_cast<std::uint64_t>(s.clipSet + 1));
    h.Add(s.silhouetteOnly);
    return h.h;
}

// Face buffers that window renderers whose contexts share objects draw from together: the
// panes of a window showing the same model fill the same batches (see SharedFaceStore).
struct SharedFaces {
    std::shared_ptr<GlBuffer> vertices, indices;
    GLsizei count = 0;
    GLenum indexType = GL_UNSIGNED_INT;
    size_t vertexBytes = 0, indexBytes = 0;
    std::array<float, 3> low{1, 1, 1}, high{0, 0, 0};
    std::optional<std::uint32_t> oneColor;
};

struct Batch {
    GlVertexArray vao;
    // Shared with another batch when their faces are shared (`shared`); never filled again then.
    std::shared_ptr<GlBuffer> vertices, indices;
    std::shared_ptr<const SharedFaces> shared;
    GLsizei count = 0;
    std::uint64_t signature = 0;
    std::uint64_t lastFrame = 0;
    int level = 0;  // the motion detail level of the list it was drawn for
    // Outline modes: the camera (and content) the uploaded selection of edges is for.
    std::uint64_t selectedFor = 0;
    // Outline edges drawn from the vertices of the hidden faces of the same items (no buffer
    // of their own: `vertices` is empty and the vertex array points at the faces' buffer).
    bool borrowsVertices = false;
    GLenum indexType = GL_UNSIGNED_INT;  // of `indices`: 16 bits where every vertex fits
    size_t vertexBytes = 0, indexBytes = 0;  // what the buffers hold
    // Faces: the world box of the vertices they were filled with (low above high: none, so
    // never culled).
    std::array<float, 3> low{1, 1, 1}, high{0, 0, 0};
    // Faces: the colour of every vertex, when they all have the same (drawn from a uniform
    // then, not read per vertex).
    std::optional<std::uint32_t> oneColor;
};

// True when a box lies wholly beyond one side of the view (left, right, bottom or top of the
// clip volume): its triangles could light no pixel. Near and far are not tested: the box of
// something behind the eye may straddle them without harm, and the test stays on the safe side.
bool BesideTheView(const cm::Matrix4& worldToClip, const Batch& batch) {
    if (batch.low[0] > batch.high[0]) return false;
    int left = 0, right = 0, below = 0, above = 0;
    for (int corner = 0; corner < 8; ++corner) {
        const double p[3] = {(corner & 1) ? batch.high[0] : batch.low[0], (corner & 2) ? batch.high[1] : batch.low[1],
                             (corner & 4) ? batch.high[2] : batch.low[2]};
        // (A corner that is not finite lies on no side, so such a box is never culled.)
        double clip[4];
        for (int j = 0; j < 4; ++j)
            clip[j] = p[0] * worldToClip(0, j) + p[1] * worldToClip(1, j) + p[2] * worldToClip(2, j) + worldToClip(3, j);
        left += clip[0] < -clip[3];
        right += clip[0] > clip[3];
        below += clip[1] < -clip[3];
        above += clip[1] > clip[3];
    }
    return left == 8 || right == 8 || below == 8 || above == 8;
}

// True when a box lies wholly on one side of a plane (not touching it).
bool OffThePlane(const ClipPlane& plane, const Batch& batch) {
    if (batch.low[0] > batch.high[0]) return false;
    int positive = 0, negative = 0;
    for (int corner = 0; corner < 8; ++corner) {
        const double side = plane.Side((corner & 1) ? batch.high[0] : batch.low[0], (corner & 2) ? batch.high[1] : batch.low[1],
                                       (corner & 4) ? batch.high[2] : batch.low[2]);
        positive += side > 0;
        negative += side < 0;
    }
    return positive == 8 || negative == 8;
}

// Gives up a batch's vertex array and buffers, so that it is laid out again from scratch.
void ReleaseBuffers(Batch& batch) {
    batch.vao.Reset();
    batch.vertices.reset();
    batch.indices.reset();
    batch.shared.reset();
    batch.borrowsVertices = false;
    batch.count = 0;
    batch.selectedFor = 0;
    batch.vertexBytes = batch.indexBytes = 0;
}

// Identifies a chunk by the draw items it holds, so the faces and edges of the same items
// can find each other within a frame.
std::uint64_t ChunkMembers(const MeshDraw* const* items, size_t count) {
    Hasher h;
    h.Add(count);
    for (size_t i = 0; i < count; ++i) h.Add(reinterpret_cast<std::uintptr_t>(items[i]));
    return h.h;
}

// Fills the bound vertex (GL_ARRAY_BUFFER) or the vertex array's index buffer
// (GL_ELEMENT_ARRAY_BUFFER) of a batch, and records its size.
template <typename T>
void Fill(Batch& batch, GLenum target, const std::vector<T>& data, GLenum usage) {
    const size_t bytes = data.size() * sizeof(T);
    glBufferData(target, static_cast<GLsizeiptr>(bytes), data.data(), usage);
    (target == GL_ELEMENT_ARRAY_BUFFER ? batch.indexBytes : batch.vertexBytes) = bytes;
}
// The same for `count` elements that `write(T* out)` produces straight into the buffer's
// storage, so large batches are not first built in a copy of their own (which, freshly
// allocated for each batch, costs as much in page faults as the copy itself). Where the
// buffer cannot be mapped, or its storage was lost while mapped, they go through a copy.
template <typename T, typename Write>
void FillWith(Batch& batch, GLenum target, size_t count, GLenum usage, Write write) {
    const size_t bytes = count * sizeof(T);
    glBufferData(target, static_cast<GLsizeiptr>(bytes), nullptr, usage);
    (target == GL_ELEMENT_ARRAY_BUFFER ? batch.indexBytes : batch.vertexBytes) = bytes;
    if (count == 0) return;
    if (void* mapped = glMapBufferRange(target, 0, static_cast<GLsizeiptr>(bytes),
                                        GL_MAP_WRITE_BIT | GL_MAP_INVALIDATE_BUFFER_BIT)) {
        sys::AdviseHeapGrowth(mapped);  // the driver's storage: pages ahead faulted in early
        write(static_cast<T*>(mapped));
        if (glUnmapBuffer(target) == GL_TRUE) return;
    }
    std::vector<T> copy(count);
    write(copy.data());
    glBufferSubData(target, 0, static_cast<GLsizeiptr>(bytes), copy.data());
}
// Fills the index buffer of the bound vertex array with `count` indices into `vertexCount`
// vertices from `write(out)` (given a pointer of either width): 16-bit where they all fit.
template <typename Write>
void FillIndices(Batch& batch, size_t count, size_t vertexCount, GLenum usage, Write write) {
    if (vertexCount <= 0x10000) {
        batch.indexType = GL_UNSIGNED_SHORT;
        FillWith<std::uint16_t>(batch, GL_ELEMENT_ARRAY_BUFFER, count, usage, write);
    } else {
        batch.indexType = GL_UNSIGNED_INT;
        FillWith<std::uint32_t>(batch, GL_ELEMENT_ARRAY_BUFFER, count, usage, write);
    }
}
void FillIndices(Batch& batch, const std::vector<std::uint32_t>& indices, size_t vertexCount, GLenum usage) {
    FillIndices(batch, indices.size(), vertexCount, usage, [&](auto* out) {
        for (std::uint32_t index : indices) *out++ = static_cast<std::remove_pointer_t<decltype(out)>>(index);
    });
}

// The face buffers of window renderers, by share group (a GL context share group the caller
// names) and content: a batch whose signature (its items' meshes, colours and matrices) and
// sizes match one already filled in the same group draws from those buffers.
struct SharedFaceKey {
    const void* group;
    std::uint64_t content;
    bool operator<(const SharedFaceKey& o) const { return group != o.group ? std::less<const void*>()(group, o.group) : content < o.content; }
};
std::map<SharedFaceKey, std::weak_ptr<SharedFaces>>& SharedFaceStore() {
    static std::map<SharedFaceKey, std::weak_ptr<SharedFaces>> store;
    return store;
}
void KeepShared(const SharedFaceKey& key, const std::shared_ptr<SharedFaces>& faces) {
    auto& store = SharedFaceStore();
    static size_t sweepAt = 256;
    if (store.size() >= sweepAt) {
        std::erase_if(store, [](const auto& entry) { return entry.second.expired(); });
        sweepAt = std::max<size_t>(256, store.size() * 2);
    }
    store[key] = faces;
}

struct Program {
    GlProgram program;
    std::unordered_map<std::string, GLint> locations;
    GLint At(const char* name) {
        auto found = locations.find(name);
        if (found != locations.end()) return found->second;
        const GLint location = glGetUniformLocation(program.Get(), name);
        locations.emplace(name, location);
        return location;
    }
};

// Set by SetGeneralPrograms: every batch drawn with the general program of its kind.
bool g_generalPrograms = false;

void SetMatrix(Program& p, const char* name, const cm::Matrix4& m) {
    float values[16];
    m.ToFloats(values);
    // Our matrices are row-major for row vectors; GLSL computes v * M with the transpose flag.
    glUniformMatrix4fv(p.At(name), 1, GL_TRUE, values);
}

} // namespace

struct GlBackend::Impl {
    Program background, text;
    // Surface, line and marker programs by variant (ProgramVariant::Key), compiled when first
    // needed; the general ones at Initialize.
    std::unordered_map<std::uint32_t, Program> programs;
    int enabledClipDistances = 0;
    GlVertexArray emptyVao;
    std::unordered_map<std::uint64_t, Batch> batches;
    std::uint64_t frame = 0;
    int level = 0;
    // Thinnest line in window pixels: in a reduced frame, one of its own pixels, so that thin
    // lines (a coarse level's centre lines) stay whole when it is scaled up.
    float minLineWeight = 1.0f;
    TextRenderer textRenderer;
    GlStats* stats = nullptr;
    const void* shareGroup = nullptr;  // face buffers shared within it (SharedFaceStore)

    Batch& BatchFor(std::uint64_t id) {
        Batch& b = batches[id];
        b.lastFrame = frame;
        b.level = level;
        return b;
    }

    static GlProgram Compile(const ProgramVariant& v, std::string* log) {
        const std::string defines = v.Defines();
        auto source = [&defines](const char* body) { return defines + body; };
        switch (v.kind) {
        case ProgramKind::Surface:
            return MakeProgram(source(shaders::kSurfaceVertex).c_str(), source(shaders::kSurfaceFragment).c_str(), log);
        case ProgramKind::Line:
            return MakeProgram(source(shaders::kLineVertex).c_str(), source(shaders::kLineGeometry).c_str(),
                               source(shaders::kLineFragment).c_str(), log);
        case ProgramKind::Marker:
            return MakeProgram(source(shaders::kMarkerVertex).c_str(), source(shaders::kMarkerGeometry).c_str(),
                               source(shaders::kMarkerFragment).c_str(), log);
        }
        return {};
    }
    static ProgramVariant General(ProgramKind kind) {
        ProgramVariant v;
        v.kind = kind;
        v.general = true;
        return v;
    }

    // Makes the program of variant `v` current (compiling it the first time), with as many
    // clip distances enabled as it writes. A variant that does not compile falls back on the
    // general program of its kind, which draws the same picture.
    Program& UseProgram(ProgramVariant v) {
        if (g_generalPrograms) v = General(v.kind);
        auto found = programs.find(v.Key());
        if (found == programs.end()) {
            std::string log;
            GlProgram compiled = Compile(v, &log);
            if (!compiled) v = General(v.kind);
            found = compiled ? programs.emplace(v.Key(), Program{std::move(compiled), {}}).first : programs.find(v.Key());
        }
        if (std::find(stats->programs.begin(), stats->programs.end(), v) == stats->programs.end()) stats->programs.push_back(v);
        const int clipDistances = v.general ? 8 : v.clipPlanes;
        for (int i = enabledClipDistances; i < clipDistances; ++i) glEnable(GL_CLIP_DISTANCE0 + i);
        for (int i = clipDistances; i < enabledClipDistances; ++i) glDisable(GL_CLIP_DISTANCE0 + i);
        enabledClipDistances = clipDistances;
        glUseProgram(found->second.program.Get());
        return found->second;
    }

    // Planes that cut alone go to the clip distances; grouped planes (cutting only
    // together) to the fragment test, ordered by group.
    // `except`: the index in the set of a plane left out (a section cap lies on it).
    void SetClip(Program& p, const Layer& layer, int clipSet, int except = -1) {
        std::vector<ClipPlane> alone, together;
        if (clipSet >= 0 && clipSet < static_cast<int>(layer.clipSets.size())) {
            const std::vector<ClipPlane>& set = layer.clipSets[static_cast<size_t>(clipSet)];
            for (size_t i = 0; i < set.size(); ++i)
                if (static_cast<int>(i) != except) (set[i].group == 0 ? alone : together).push_back(set[i]);
        }
        std::stable_sort(together.begin(), together.end(), [](const ClipPlane& a, const ClipPlane& b) { return a.group < b.group; });
        auto pack = [](const std::vector<ClipPlane>& list, float* planes) {
            for (size_t i = 0; i < list.size() && i < 8; ++i) {
                planes[i * 4] = static_cast<float>(list[i].a);
                planes[i * 4 + 1] = static_cast<float>(list[i].b);
                planes[i * 4 + 2] = static_cast<float>(list[i].c);
                planes[i * 4 + 3] = static_cast<float>(list[i].d);
            }
        };
        float planes[32] = {}, grouped[32] = {};
        int groups[8] = {};
        pack(alone, planes);
        pack(together, grouped);
        for (size_t i = 0; i < together.size() && i < 8; ++i) groups[i] = together[i].group;
        glUniform4fv(p.At("uClip"), 8, planes);
        glUniform1i(p.At("uClipCount"), static_cast<int>(std::min<size_t>(alone.size(), 8)));
        glUniform4fv(p.At("uClipAnd"), 8, grouped);
        glUniform1iv(p.At("uClipAndGroup"), 8, groups);
        glUniform1i(p.At("uClipAndCount"), static_cast<int>(std::min<size_t>(together.size(), 8)));
    }

    // ---- faces ----

    static constexpr std::initializer_list<VertexAttribute> kFaceLayout{
        {0, 3, GL_FLOAT, 0}, {1, 4, GL_INT_2_10_10_10_REV, 12}, {2, 4, GL_UNSIGNED_BYTE, 16}};

    void UploadFaces(Batch& batch, const std::vector<const MeshDraw*>& items) {
        size_t vertexTotal = 0, indexTotal = 0;
        for (const MeshDraw* d : items) {
            vertexTotal += d->mesh->VertexCount();
            indexTotal += d->mesh->triangles.size();
        }
        std::optional<SharedFaceKey> key;
        if (shareGroup) {
            Hasher content;
            content.Add(batch.signature);
            content.Add(items.size());
            content.Add(vertexTotal);
            content.Add(indexTotal);
            key = SharedFaceKey{shareGroup, content.h};
            auto found = SharedFaceStore().find(*key);
            if (found != SharedFaceStore().end())
                if (std::shared_ptr<SharedFaces> faces = found->second.lock()) {
                    if (faces == batch.shared) return;
                    ReleaseBuffers(batch);
                    batch.vertices = faces->vertices;
                    batch.indices = faces->indices;
                    LayOut(batch, sizeof(FaceVertex), kFaceLayout);
                    batch.count = faces->count;
                    batch.indexType = faces->indexType;
                    batch.vertexBytes = faces->vertexBytes;
                    batch.indexBytes = faces->indexBytes;
                    batch.low = faces->low;
                    batch.high = faces->high;
                    batch.oneColor = faces->oneColor;
                    batch.shared = std::move(faces);
                    return;
                }
        }
        if (batch.shared) ReleaseBuffers(batch);  // others draw from its buffers: new ones
        EnsureLayout(batch, sizeof(FaceVertex), kFaceLayout, true);
        glBindVertexArray(batch.vao.Get());
        glBindBuffer(GL_ARRAY_BUFFER, batch.vertices->Get());
        std::array<float, 3> low{1, 1, 1}, high{0, 0, 0};
        std::uint32_t firstColor = 0;
        bool oneColor = true;
        if (vertexTotal > 0) {
            low.fill(std::numeric_limits<float>::infinity());
            high.fill(-std::numeric_limits<float>::infinity());
        }
        FillWith<FaceVertex>(batch, GL_ARRAY_BUFFER, vertexTotal, GL_STATIC_DRAW, [&](FaceVertex* out) {
            const FaceVertex* const start = out;
            for (const MeshDraw* d : items) {
                const Mesh& mesh = *d->mesh;
                // Faces that only hide draw no colour: theirs is the edge colour, so that the
                // outlines of the same items can be drawn from this buffer (BorrowFaceVertices).
                const bool hideOnly = d->hiddenSurfaceOnly;
                const std::uint32_t itemColor = PackColor(hideOnly ? d->edgeColor : d->faceColor);
                // A copy's placement is a rotation: it turns normals as it turns points, and
                // keeps their length.
                cm::Matrix4 normalMatrix = d->matrix;
                if (!d->identity && !d->placedOnly) {
                    cm::Matrix4 inverse;
                    cm::Invert(d->matrix, inverse);
                    for (int r = 0; r < 4; ++r)
                        for (int c = 0; c < 4; ++c) normalMatrix(r, c) = inverse(c, r);
                }
                for (size_t i = 0; i < mesh.VertexCount(); ++i) {
                    FaceVertex v;
                    if (d->identity) {
                        std::memcpy(v.position, &mesh.positions[3 * i], sizeof v.position);
                        v.normal = mesh.normals[i];
                    } else {
                        const cm::Vec3 p = cm::TransformPoint(d->matrix, {mesh.positions[3 * i], mesh.positions[3 * i + 1], mesh.positions[3 * i + 2]});
                        v.position[0] = static_cast<float>(p.x);
                        v.position[1] = static_cast<float>(p.y);
                        v.position[2] = static_cast<float>(p.z);
                        const std::array<float, 3> n = UnpackNormal(mesh.normals[i]);
                        cm::Vec3 m = cm::TransformVector(normalMatrix, {n[0], n[1], n[2]});
                        if (!d->placedOnly) m = cm::Normalized(m);
                        v.normal = PackNormal(static_cast<float>(m.x), static_cast<float>(m.y), static_cast<float>(m.z));
                    }
                    const std::uint32_t own = mesh.colors.empty() || hideOnly ? 0u : mesh.colors[i];
                    v.color = (own >> 24) != 0 ? own : itemColor;
                    if (out == start) firstColor = v.color;
                    oneColor = oneColor && v.color == firstColor;
                    for (int k = 0; k < 3; ++k) {
                        low[k] = std::min(low[k], v.position[k]);
                        high[k] = std::max(high[k], v.position[k]);
                    }
                    *out++ = v;
                }
            }
        });
        batch.low = low;
        batch.high = high;
        batch.oneColor = oneColor && vertexTotal > 0 ? std::optional<std::uint32_t>(firstColor) : std::nullopt;
        FillIndices(batch, indexTotal, vertexTotal, GL_STATIC_DRAW, [&](auto* out) {
            using Index = std::remove_pointer_t<decltype(out)>;
            std::uint32_t base = 0;
            for (const MeshDraw* d : items) {
                d->mesh->triangles.Visit([&](const auto& triangles) {
                    for (auto index : triangles) *out++ = static_cast<Index>(base + index);
                });
                base += static_cast<std::uint32_t>(d->mesh->VertexCount());
            }
        });
        batch.count = static_cast<GLsizei>(indexTotal);
        ++stats->rebuiltBatches;
        if (key) {
            auto faces = std::make_shared<SharedFaces>(SharedFaces{batch.vertices, batch.indices, batch.count,
                                                                   batch.indexType, batch.vertexBytes,
                                                                   batch.indexBytes, batch.low, batch.high,
                                                                   batch.oneColor});
            KeepShared(*key, faces);
            batch.shared = std::move(faces);
        }
    }

    // Splits items into chunks and draws each through its cached batch.
    template <typename Upload>
    void DrawChunks(std::uint64_t groupId, const std::vector<const MeshDraw*>& items, bool sortedSignature,
                    GLenum mode, size_t (*vertexCount)(const MeshDraw&), Upload upload) {
        DrawChunks(groupId, items, sortedSignature, mode, vertexCount, upload, [](Batch&, const MeshDraw* const*, size_t) {});
    }
    // The same, with `prepare(batch, items, count)` called on each batch, up to date, with the
    // items it holds before it is drawn. Batches whose items changed are filled again before
    // the first draw (refilling them between draws made the frame after a motion about a fifth
    // slower with llvmpipe); a new batch is filled just before its own draw, so that the first
    // picture's uploads run while the rasterizer works on the batches drawn before (a sixth
    // faster than filling every new batch first).
    template <typename Upload, typename Prepare>
    void DrawChunks(std::uint64_t groupId, const std::vector<const MeshDraw*>& items, bool sortedSignature,
                    GLenum mode, size_t (*vertexCount)(const MeshDraw&), Upload upload, Prepare prepare) {
        struct Chunk {
            Batch* batch;
            size_t start, end;
            bool fresh;  // a new batch, filled just before its draw
        };
        std::vector<Chunk> chunks;
        auto fillChunk = [&](Batch& batch, size_t start, size_t end) {
            upload(batch, std::vector<const MeshDraw*>(items.begin() + static_cast<std::ptrdiff_t>(start),
                                                       items.begin() + static_cast<std::ptrdiff_t>(end)));
        };
        size_t start = 0;
        while (start < items.size()) {
            size_t end = start, vertices = 0;
            while (end < items.size() && (end == start || vertices + vertexCount(*items[end]) <= kChunkVertices)) {
                vertices += vertexCount(*items[end]);
                ++end;
            }
            Hasher signature;
            for (size_t i = start; i < end; ++i) {
                const MeshDraw& d = *items[i];
                signature.Add(d.meshStamp);
                signature.AddColor(d.faceColor);
                signature.AddColor(d.edgeColor);
                signature.AddColor(d.markerColor);
                signature.Add(static_cast<std::uint64_t>(d.markerSymbol));
                signature.AddFloat(d.markerSize);
                signature.Add(d.hiddenSurfaceOnly);
                // A matrix that only places a copy's shared mesh goes with its stamp.
                if (!d.identity && !d.placedOnly) signature.AddMatrix(d.matrix);
            }
            signature.Add(sortedSignature);
            Hasher id;
            id.Add(groupId);
            id.Add(chunks.size());
            Batch& batch = BatchFor(id.h);
            const bool fresh = !batch.vao;
            if (fresh || batch.signature != signature.h) {
                batch.signature = signature.h;  // (shared face buffers are found by it)
                if (!fresh) fillChunk(batch, start, end);
            }
            chunks.push_back({&batch, start, end, fresh});
            start = end;
        }
        for (const Chunk& chunk : chunks) {
            Batch& batch = *chunk.batch;
            sys::AdviseHeapGrowth();
            if (chunk.fresh) fillChunk(batch, chunk.start, chunk.end);
            prepare(batch, items.data() + chunk.start, chunk.end - chunk.start);
            if (mode == GL_TRIANGLES && m_cullWith && BesideTheView(*m_cullWith, batch)) {
                ++stats->culledChunks;
                continue;
            }
            if (mode == GL_TRIANGLES && m_capPlane && OffThePlane(*m_capPlane, batch)) continue;
            glBindVertexArray(batch.vao.Get());
            if (batch.count > 0) {
                if (mode == GL_LINES_ADJACENCY) stats->edgeSegments += static_cast<size_t>(batch.count) / 4;
                if (mode == GL_POINTS) {
                    glDrawArrays(GL_POINTS, 0, batch.count);
                    ++stats->drawCalls;
                    Drawn(static_cast<size_t>(batch.count));
                } else {
                    DrawIndexed(mode, batch);
                }
                if (mode == GL_TRIANGLES) stats->triangles += static_cast<size_t>(batch.count) / 3;
            }
        }
    }

    // A software rasterizer (llvmpipe) bins every primitive of the frame before it rasterizes
    // any: handing it each large chunk as it is drawn bounds what it holds binned, and lets its
    // threads rasterize while this one bins the next chunk. A chunk of its own larger than
    // that (one shell of a million triangles) is drawn in pieces, in order, a flush after each.
    void DrawIndexed(GLenum mode, const Batch& batch) {
        const size_t indexBytes = batch.indexType == GL_UNSIGNED_SHORT ? 2 : 4;
        const size_t piece = mode == GL_TRIANGLES ? kPieceIndices : static_cast<size_t>(batch.count);
        for (size_t first = 0; first < static_cast<size_t>(batch.count); first += piece) {
            const size_t count = std::min(piece, static_cast<size_t>(batch.count) - first);
            glDrawElements(mode, static_cast<GLsizei>(count), batch.indexType, reinterpret_cast<void*>(first * indexBytes));
            ++stats->drawCalls;
            Drawn(count);
        }
    }
    void Drawn(size_t indices) {
        m_unflushed += indices;
        if (m_unflushed >= kFlushIndices) {
            glFlush();
            m_unflushed = 0;
        }
    }

    // `textured`: the texture on unit 1 replaces the diffuse colour. `colorWritten`: false for
    // faces that only hide (drawn with colour writes off).
    // `oneColor`: every vertex drawn until the next call has this colour.
    // `clipExcept`: a plane of the clip set left out (SetClip).
    void UseSurface(const Frame& f, const SurfaceState& s, float alpha, bool textured = false, bool colorWritten = true,
                    std::optional<std::uint32_t> oneColor = std::nullopt, int clipExcept = -1) {
        ProgramVariant variant = SurfaceVariant(f, s, textured, colorWritten);
        variant.batchColor = oneColor && colorWritten && !textured;
        Program& surface = UseProgram(variant);
        if (variant.batchColor) {
            // As the vertex attribute reads it: normalised bytes.
            const std::uint32_t c = *oneColor;
            glUniform4f(surface.At("uBatchColor"), static_cast<float>(c & 0xFF) / 255.0f, static_cast<float>((c >> 8) & 0xFF) / 255.0f,
                        static_cast<float>((c >> 16) & 0xFF) / 255.0f, static_cast<float>(c >> 24) / 255.0f);
        }
        SetMatrix(surface, "uWorldToClip", f.worldToClip);
        SetMatrix(surface, "uWorldToEye4", f.worldToEye);
        float m3[9];
        for (int r = 0; r < 3; ++r)
            for (int c = 0; c < 3; ++c) m3[r * 3 + c] = static_cast<float>(f.worldToEye(r, c));
        glUniformMatrix3fv(surface.At("uWorldToEye"), 1, GL_TRUE, m3);
        glUniform1i(surface.At("uLighting"), s.lighting && !f.unlit ? 1 : 0);
        glUniform1i(surface.At("uFlat"), s.shading == Shading::Flat ? 1 : 0);
        glUniform1i(surface.At("uPerspective"), f.perspective ? 1 : 0);
        const int lights = static_cast<int>(f.lightDirs.size() / 3);
        glUniform1i(surface.At("uLightCount"), lights);
        glUniform3fv(surface.At("uLightDir"), lights, f.lightDirs.data());
        glUniform3fv(surface.At("uLightColor"), lights, f.lightColors.data());
        glUniform3f(surface.At("uSpecular"), s.specular.r, s.specular.g, s.specular.b);
        glUniform1f(surface.At("uGloss"), s.gloss);
        glUniform1f(surface.At("uAlpha"), alpha);
        glUniform1i(surface.At("uTextured"), textured ? 1 : 0);
        glUniform1i(surface.At("uTexture"), 1);
        SetClip(surface, *f.layer, s.clipSet, clipExcept);
        glDepthRange(s.depthRange.nearValue, s.depthRange.farValue);
        glEnable(GL_POLYGON_OFFSET_FILL);
        glPolygonOffset(1.0f, 1.0f + s.faceDisplacement);
        if (s.cullBack) {
            glEnable(GL_CULL_FACE);
            glCullFace(GL_BACK);
            glFrontFace(s.mirrored ? GL_CW : GL_CCW);
        } else {
            glDisable(GL_CULL_FACE);
        }
    }

    static size_t FaceVertices(const MeshDraw& d) { return d.mesh->VertexCount(); }
    static size_t EdgeVertices(const MeshDraw& d) { return d.mesh->VertexCount(); }
    static size_t MarkerVertices(const MeshDraw& d) { return d.mesh->markerVertices.size(); }

    // This layer's chunks of faces that only hide, by their members (ChunkMembers).
    std::unordered_map<std::uint64_t, Batch*> m_hiddenFaces;
    // While opaque faces are drawn: the view their batches are culled against.
    const cm::Matrix4* m_cullWith = nullptr;
    // While a section is capped: the plane. Closed items wholly on one side of it change no
    // pixel's parity, so chunks off the plane are left out.
    const ClipPlane* m_capPlane = nullptr;
    size_t m_unflushed = 0;  // indices drawn since the last glFlush

    void DrawFaces(const Frame& f, std::uint64_t layerId) {
        const Layer& layer = *f.layer;
        m_hiddenFaces.clear();
        m_cutGroups.clear();
        // Opaque groups in first-seen order.
        std::vector<std::uint64_t> order;
        std::unordered_map<std::uint64_t, std::vector<const MeshDraw*>> groups;
        std::vector<const MeshDraw*> transparent;
        m_textured.clear();
        for (const MeshDraw& d : layer.meshes) {
            if (!d.faces || d.mesh->triangles.empty()) continue;
            if (d.texture && !d.hiddenSurfaceOnly) {
                if (d.surface.transmission < 1.0f) m_textured.push_back(&d);
                continue;
            }
            if (d.surface.transmission > 0.0f && !d.hiddenSurfaceOnly) {
                if (d.surface.transmission < 1.0f) transparent.push_back(&d);
                continue;
            }
            const std::uint64_t key = SurfaceKey(d.surface, d.hiddenSurfaceOnly);
            auto [it, inserted] = groups.try_emplace(key);
            if (inserted) order.push_back(key);
            it->second.push_back(&d);
        }
        auto upload = [this](Batch& b, const std::vector<const MeshDraw*>& part) { UploadFaces(b, part); };
        // Faces that only hide (hidden-line modes) and shaded faces of one surface state share
        // their buffers, so a change between those modes replaces the buffers in place rather
        // than holding both sets until the old ones age out. A frame holding both kinds gives
        // the second its own.
        std::unordered_set<std::uint64_t> sharedKeys;
        for (std::uint64_t key : order) {
            const auto& items = groups[key];
            const MeshDraw& first = *items.front();
            const std::uint64_t shared = SurfaceKey(first.surface, false);
            const std::uint64_t batchKey = sharedKeys.insert(shared).second ? shared : key;
            const bool colorWritten = !first.hiddenSurfaceOnly;
            if (first.hiddenSurfaceOnly) glColorMask(GL_FALSE, GL_FALSE, GL_FALSE, GL_FALSE);
            m_cullWith = &f.worldToClip;
            // The program is chosen by the first chunk, and again where a chunk's colours differ
            // in kind: a chunk of one colour takes it from a uniform.
            bool programSet = false;
            std::optional<std::uint32_t> drawnColor;
            DrawChunks(layerId ^ batchKey ^ 0x1111, items, false, GL_TRIANGLES, FaceVertices, upload,
                       [&](Batch& b, const MeshDraw* const* part, size_t count) {
                           if (first.hiddenSurfaceOnly) m_hiddenFaces[ChunkMembers(part, count)] = &b;
                           const std::optional<std::uint32_t> color = colorWritten ? b.oneColor : std::nullopt;
                           if (!programSet || color != drawnColor) {
                               UseSurface(f, first.surface, 1.0f, false, colorWritten, color);
                               programSet = true;
                               drawnColor = color;
                           }
                       });
            m_cullWith = nullptr;
            glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
            if (colorWritten && first.surface.clipSet >= 0)
                m_cutGroups.push_back({layerId ^ batchKey ^ 0x1111, items});
        }
        glDisable(GL_POLYGON_OFFSET_FILL);
        glDisable(GL_CULL_FACE);
        m_transparent = std::move(transparent);
    }

    // ---- section caps ----

    // Opaque shaded faces that cutting planes cut, by the chunk group DrawFaces drew them in.
    struct CutGroup {
        std::uint64_t groupId;
        std::vector<const MeshDraw*> items;
    };
    std::vector<CutGroup> m_cutGroups;
    // Section caps are mid grey, set off by the cut-edge outline around them.
    static constexpr Color kCapColor{0.5f, 0.5f, 0.5f};

    // Closes the section of each plane that cuts alone: the clipped faces are drawn again
    // into the stencil, each fragment flipping its bit, so a point of the plane inside a
    // closed item is covered an odd number of times; a quad on the plane, clipped by the
    // set's other planes, is then drawn there in kCapColor, as flat faces.
    // Needs a stencil buffer; items that are not closed may leave holes or extra pieces.
    void DrawSectionCaps(const Frame& f, std::uint64_t layerId, GLuint framebuffer) {
        if (m_cutGroups.empty()) return;
        const GLenum stencil = framebuffer == 0 ? GL_STENCIL : GL_STENCIL_ATTACHMENT;
        GLint attached = GL_NONE, stencilBits = 0;
        glGetFramebufferAttachmentParameteriv(GL_FRAMEBUFFER, stencil, GL_FRAMEBUFFER_ATTACHMENT_OBJECT_TYPE, &attached);
        if (attached != GL_NONE)
            glGetFramebufferAttachmentParameteriv(GL_FRAMEBUFFER, stencil, GL_FRAMEBUFFER_ATTACHMENT_STENCIL_SIZE, &stencilBits);
        if (stencilBits <= 0) return;
        const Layer& layer = *f.layer;
        cm::Matrix4 clipToWorld;
        if (!cm::Invert(f.worldToClip, clipToWorld)) return;
        std::map<int, std::vector<const CutGroup*>> bySet;
        for (const CutGroup& g : m_cutGroups) bySet[g.items.front()->surface.clipSet].push_back(&g);
        glEnable(GL_STENCIL_TEST);
        for (const auto& [clipSet, groups] : bySet) {
            const std::vector<ClipPlane>& planes = layer.clipSets[static_cast<size_t>(clipSet)];
            for (size_t pi = 0; pi < planes.size(); ++pi) {
                if (planes[pi].group != 0) continue;
                glStencilMask(0xFF);
                glClearStencil(0);
                glClear(GL_STENCIL_BUFFER_BIT);
                glStencilFunc(GL_ALWAYS, 0, 1);
                glStencilOp(GL_KEEP, GL_KEEP, GL_INVERT);
                glStencilMask(1);
                glColorMask(GL_FALSE, GL_FALSE, GL_FALSE, GL_FALSE);
                glDepthMask(GL_FALSE);
                glDisable(GL_DEPTH_TEST);
                m_capPlane = &planes[pi];
                for (const CutGroup* g : groups) {
                    bool programSet = false;
                    DrawChunks(g->groupId, g->items, false, GL_TRIANGLES, FaceVertices,
                               [this](Batch& b, const std::vector<const MeshDraw*>& part) { UploadFaces(b, part); },
                               [&](Batch&, const MeshDraw* const*, size_t) {
                                   if (programSet) return;
                                   UseSurface(f, g->items.front()->surface, 1.0f, false, false);
                                   glDisable(GL_CULL_FACE);
                                   programSet = true;
                               });
                }
                m_capPlane = nullptr;
                glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
                glDepthMask(GL_TRUE);
                glEnable(GL_DEPTH_TEST);
                glStencilFunc(GL_EQUAL, 1, 1);
                glStencilOp(GL_KEEP, GL_KEEP, GL_KEEP);
                DrawCap(f, layerId, *groups.front()->items.front(), clipSet, static_cast<int>(pi), clipToWorld);
            }
        }
        glStencilMask(0xFF);
        glDisable(GL_STENCIL_TEST);
        glDisable(GL_POLYGON_OFFSET_FILL);
        glDisable(GL_CULL_FACE);
    }

    // A quad on plane `plane` of the set that covers the whole view.
    void DrawCap(const Frame& f, std::uint64_t layerId, const MeshDraw& like, int clipSet, int plane,
                 const cm::Matrix4& clipToWorld) {
        const ClipPlane& p = f.layer->clipSets[static_cast<size_t>(clipSet)][static_cast<size_t>(plane)];
        const double length = cm::Length({p.a, p.b, p.c});
        if (!(length > 0)) return;
        const cm::Vec3 n{p.a / length, p.b / length, p.c / length};
        const double d = p.d / length;
        const cm::Vec3 middle = cm::TransformPoint(clipToWorld, {0, 0, 0});
        const cm::Vec3 centre = middle - n * (cm::Dot(n, middle) + d);
        double reach = 0;
        for (int corner = 0; corner < 8; ++corner) {
            const cm::Vec3 c = cm::TransformPoint(clipToWorld, {corner & 1 ? 1.0 : -1.0, corner & 2 ? 1.0 : -1.0, corner & 4 ? 1.0 : -1.0});
            reach = std::max(reach, cm::Length(c - centre));
        }
        const cm::Vec3 across = cm::Normalized(cm::Cross(n, std::abs(n.x) < 0.9 ? cm::Vec3{1, 0, 0} : cm::Vec3{0, 1, 0}));
        const cm::Vec3 up = cm::Cross(n, across);
        auto mesh = std::make_shared<Mesh>();
        Hasher stamp;
        for (const auto& [s, t] : {std::pair{-1, -1}, {1, -1}, {1, 1}, {-1, 1}}) {
            const cm::Vec3 v = centre + across * (s * reach) + up * (t * reach);
            for (double x : {v.x, v.y, v.z}) {
                mesh->positions.push_back(static_cast<float>(x));
                stamp.AddFloat(static_cast<float>(x));
            }
            mesh->normals.push_back(PackNormal(static_cast<float>(n.x), static_cast<float>(n.y), static_cast<float>(n.z)));
        }
        mesh->triangles = IndexList{0, 1, 2, 0, 2, 3};
        MeshDraw cap;
        cap.mesh = mesh;
        cap.meshStamp = stamp.h;
        cap.faceColor = kCapColor;
        cap.surface = like.surface;
        cap.surface.shading = Shading::Flat;
        cap.surface.cullBack = false;
        Hasher id;
        id.Add(layerId);
        id.Add(static_cast<std::uint64_t>(clipSet));
        id.Add(static_cast<std::uint64_t>(plane));
        id.Add(0xCA9);
        DrawChunks(id.h, {&cap}, false, GL_TRIANGLES, FaceVertices,
                   [this](Batch& b, const std::vector<const MeshDraw*>& part) { UploadFaces(b, part); },
                   [&](Batch& b, const MeshDraw* const*, size_t) {
                       UseSurface(f, cap.surface, 1.0f, false, true, b.oneColor, plane);
                       glDisable(GL_CULL_FACE);
                   });
    }

    // ---- textured faces ----

    // An RGBA image kept as a texture while it is drawn, uploaded again when it changes.
    struct CachedTexture {
        GlTexture texture;
        std::uint64_t changeCount = 0;
        std::uint64_t lastFrame = 0;
    };
    using TextureCache = std::unordered_map<HC_KEY, CachedTexture>;

    // The cache's texture for an image (key, size, pixels, change counter), uploaded again
    // when the counter has moved; sampled nearest, with `wrap` at the edges.
    GLuint TextureFor(TextureCache& cache, HC_KEY key, int width, int height, const std::uint8_t* rgba,
                      std::uint64_t changeCount, GLint wrap) {
        CachedTexture& t = cache[key];
        t.lastFrame = frame;
        if (!t.texture || t.changeCount != changeCount) {
            if (!t.texture) t.texture = MakeTexture();
            glBindTexture(GL_TEXTURE_2D, t.texture.Get());
            glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
            glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
            glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, wrap);
            glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, wrap);
            glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
            glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, width, height, 0, GL_RGBA, GL_UNSIGNED_BYTE, rgba);
            t.changeCount = changeCount;
        }
        return t.texture.Get();
    }

    // Forgets the textures not drawn during the last 8 frames.
    void ForgetOldTextures(TextureCache& cache) {
        for (auto it = cache.begin(); it != cache.end();) {
            if (it->second.lastFrame + 8 < frame)
                it = cache.erase(it);
            else
                ++it;
        }
    }

    TextureCache surfaceTextures;
    std::vector<const MeshDraw*> m_textured;

    GLuint SurfaceTextureFor(const TextureImage& image) {
        if (image.width <= 0 || image.height <= 0 ||
            image.rgba.size() < static_cast<size_t>(image.width) * static_cast<size_t>(image.height) * 4)
            return 0;
        return TextureFor(surfaceTextures, image.key, image.width, image.height, image.rgba.data(), image.changeCount,
                          GL_REPEAT);
    }

    void UploadTextured(Batch& batch, const MeshDraw& d) {
        TexturedTriangles corners;
        BuildTexturedTriangles(d, corners);
        std::vector<TexturedVertex> vertices(corners.CornerCount());
        for (size_t i = 0; i < vertices.size(); ++i) {
            TexturedVertex& v = vertices[i];
            std::memcpy(v.position, &corners.positions[3 * i], sizeof v.position);
            v.normal = PackNormal(corners.normals[3 * i], corners.normals[3 * i + 1], corners.normals[3 * i + 2]);
            v.color = 0xFFFFFFFFu;
            v.uv[0] = corners.uvs[2 * i];
            v.uv[1] = corners.uvs[2 * i + 1];
        }
        EnsureLayout(batch, sizeof(TexturedVertex),
                     {{0, 3, GL_FLOAT, 0}, {1, 4, GL_INT_2_10_10_10_REV, 12}, {2, 4, GL_UNSIGNED_BYTE, 16}, {3, 2, GL_FLOAT, 20}},
                     false);
        glBindVertexArray(batch.vao.Get());
        glBindBuffer(GL_ARRAY_BUFFER, batch.vertices->Get());
        Fill(batch, GL_ARRAY_BUFFER, vertices, GL_STATIC_DRAW);
        batch.count = static_cast<GLsizei>(vertices.size());
        ++stats->rebuiltBatches;
    }

    // Faces whose diffuse colour is a texture: one draw per item, the texture sampled
    // (nearest, repeating) in place of the diffuse colour; lighting applies as usual.
    void DrawTextured(const Frame& f, std::uint64_t layerId) {
        for (size_t index = 0; index < m_textured.size(); ++index) {
            const MeshDraw* d = m_textured[index];
            const GLuint texture = SurfaceTextureFor(*d->texture);
            if (!texture) continue;
            Hasher signature;
            signature.Add(d->meshStamp);
            if (!d->identity) signature.AddMatrix(d->matrix);
            signature.Add(static_cast<std::uint64_t>(d->textureMapping.kind));
            Hasher id;
            id.Add(layerId);
            id.Add(static_cast<std::uint64_t>(d->key));
            id.Add(static_cast<std::uint64_t>(d->lod));
            id.Add(index);  // an item included twice is drawn twice
            id.Add(0xBBBB);
            Batch& batch = BatchFor(id.h);
            if (batch.signature != signature.h || !batch.vao) {
                UploadTextured(batch, *d);
                batch.signature = signature.h;
            }
            if (batch.count == 0) continue;
            const float alpha = 1.0f - d->surface.transmission;
            UseSurface(f, d->surface, alpha, true);
            if (alpha < 1.0f) {
                glEnable(GL_BLEND);
                glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
                glDepthMask(GL_FALSE);
            }
            glActiveTexture(GL_TEXTURE1);
            glBindTexture(GL_TEXTURE_2D, texture);
            glBindVertexArray(batch.vao.Get());
            glDrawArrays(GL_TRIANGLES, 0, batch.count);
            ++stats->drawCalls;
            stats->triangles += static_cast<size_t>(batch.count) / 3;
            glActiveTexture(GL_TEXTURE0);
            glDisable(GL_BLEND);
            glDepthMask(GL_TRUE);
        }
        glDisable(GL_POLYGON_OFFSET_FILL);
        glDisable(GL_CULL_FACE);
        m_textured.clear();
    }

    // ---- line-style caps ----

    // Pixels (from the viewport's bottom-left) and window depth of a world point; false
    // behind the eye.
    static bool ToPixels(const Frame& f, const float* world, const DepthRange& range, float& x, float& y, float& depth) {
        double w = 1;
        const cm::Vec3 clip = cm::TransformPoint(f.worldToClip, {world[0], world[1], world[2]}, &w);
        if (w <= 0) return false;
        x = static_cast<float>((clip.x + 1) / 2 * f.viewport[0]);
        y = static_cast<float>((clip.y + 1) / 2 * f.viewport[1]);
        depth = range.nearValue + static_cast<float>((std::clamp(clip.z, -1.0, 1.0) + 1) / 2) * (range.farValue - range.nearValue);
        return true;
    }

    void DrawCaps(const Frame& f, std::uint64_t layerId) {
        const Layer& layer = *f.layer;
        std::vector<TextVertex> triangles;
        for (const LineDraw& l : layer.lines) {
            if ((!l.startCap && !l.endCap) || l.pairs) continue;
            const size_t n = l.points.size() / 3;
            std::vector<float> xy, depth;
            bool visible = n >= 2;
            for (size_t i = 0; i < n && visible; ++i) {
                float x = 0, y = 0, z = 0;
                visible = ToPixels(f, &l.points[3 * i], l.state.depthRange, x, y, z);
                xy.insert(xy.end(), {x, y});
                depth.push_back(z);
            }
            if (!visible) continue;
            const std::vector<ClipPlane>* planes =
                l.state.clipSet >= 0 && l.state.clipSet < static_cast<int>(layer.clipSets.size())
                    ? &layer.clipSets[static_cast<size_t>(l.state.clipSet)] : nullptr;
            for (int end = 0; end < 2; ++end) {
                const GlyphShape* glyph = end == 0 ? l.startCap.get() : l.endCap.get();
                const size_t at = end == 0 ? 0 : n - 1;
                if (!glyph) continue;
                if (planes && IsCutAway(*planes, l.points[3 * at], l.points[3 * at + 1], l.points[3 * at + 2])) continue;
                std::vector<float> capXy;
                AppendLineCaps(xy, end == 0 ? glyph : nullptr, end == 0 ? nullptr : glyph, l.state.weight, capXy);
                for (size_t i = 0; i + 1 < capXy.size(); i += 2)
                    triangles.push_back({capXy[i], capXy[i + 1], depth[at], 0, 0, PackColor(l.color)});
            }
        }
        DrawTextQuads(f, triangles, layerId ^ 0xCCCC, true);
    }

    void DrawTransparent(const Frame& f, std::uint64_t layerId) {
        if (m_transparent.empty()) return;
        // Back to front by the distance of each item's centre along the line of sight.
        std::vector<std::pair<double, const MeshDraw*>> sorted;
        for (const MeshDraw* d : m_transparent) {
            cm::Vec3 c{(d->mesh->boundsMin[0] + d->mesh->boundsMax[0]) / 2.0, (d->mesh->boundsMin[1] + d->mesh->boundsMax[1]) / 2.0,
                       (d->mesh->boundsMin[2] + d->mesh->boundsMax[2]) / 2.0};
            if (!d->identity) c = cm::TransformPoint(d->matrix, c);
            sorted.push_back({cm::TransformPoint(f.worldToEye, c).z, d});
        }
        std::stable_sort(sorted.begin(), sorted.end(), [](const auto& a, const auto& b) { return a.first > b.first; });
        glEnable(GL_BLEND);
        glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
        glDepthMask(GL_FALSE);
        // Items of one transmission and state are drawn together, in order.
        size_t i = 0;
        while (i < sorted.size()) {
            const MeshDraw& first = *sorted[i].second;
            size_t j = i;
            std::vector<const MeshDraw*> run;
            while (j < sorted.size() && sorted[j].second->surface == first.surface) run.push_back(sorted[j++].second);
            UseSurface(f, first.surface, 1.0f - first.surface.transmission);
            Hasher order;
            for (const MeshDraw* d : run) order.Add(static_cast<std::uint64_t>(d->key));
            DrawChunks(layerId ^ order.h ^ 0x2222 ^ i, run, true, GL_TRIANGLES, FaceVertices,
                       [this](Batch& b, const std::vector<const MeshDraw*>& part) { UploadFaces(b, part); });
            i = j;
        }
        glDisable(GL_POLYGON_OFFSET_FILL);
        glDisable(GL_CULL_FACE);
        glDepthMask(GL_TRUE);
        glDisable(GL_BLEND);
        m_transparent.clear();
    }

    // ---- edges and lines ----

    static void EnsureLineLayout(Batch& batch) {
        EnsureLayout(batch, sizeof(LineVertex), {{0, 3, GL_FLOAT, 0}, {2, 4, GL_UNSIGNED_BYTE, 12}}, true);
    }

    void UploadLines(Batch& batch, const std::vector<LineVertex>& vertices, const std::vector<std::uint32_t>& indices) {
        EnsureLineLayout(batch);
        glBindVertexArray(batch.vao.Get());
        glBindBuffer(GL_ARRAY_BUFFER, batch.vertices->Get());
        Fill(batch, GL_ARRAY_BUFFER, vertices, GL_STATIC_DRAW);
        FillIndices(batch, indices, vertices.size(), GL_STATIC_DRAW);
        batch.count = static_cast<GLsizei>(indices.size());
        ++stats->rebuiltBatches;
    }

    // The hidden faces of the same items this frame whose vertices outline edges can be drawn
    // from: laid out as UploadEdges lays out its own (no edge has a colour of its own, which
    // would add copies of vertices), with the edge colour in place of the faces'.
    Batch* FaceVerticesFor(const MeshDraw* const* items, size_t count) {
        for (size_t i = 0; i < count; ++i)
            if (!items[i]->mesh->edgeColors.empty()) return nullptr;
        auto found = m_hiddenFaces.find(ChunkMembers(items, count));
        return found == m_hiddenFaces.end() || !found->second->vertices ? nullptr : found->second;
    }

    // Points an outline batch's vertex array at the faces' vertex buffer (position and colour
    // of FaceVertex), giving up a buffer of its own. Done every frame it is drawn: the faces'
    // batch may have been replaced since.
    static void BorrowFaceVertices(Batch& batch, const Batch& faces) {
        if (!batch.borrowsVertices) ReleaseBuffers(batch);
        if (!batch.vao) {
            batch.vao = MakeVertexArray();
            batch.indices = std::make_shared<GlBuffer>(MakeBuffer());
            glBindVertexArray(batch.vao.Get());
            glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, batch.indices->Get());
            glEnableVertexAttribArray(0);
            glEnableVertexAttribArray(2);
        }
        batch.borrowsVertices = true;
        glBindVertexArray(batch.vao.Get());
        glBindBuffer(GL_ARRAY_BUFFER, faces.vertices->Get());
        glVertexAttribPointer(0, 3, GL_FLOAT, GL_FALSE, sizeof(FaceVertex), reinterpret_cast<void*>(offsetof(FaceVertex, position)));
        glVertexAttribPointer(2, 4, GL_UNSIGNED_BYTE, GL_TRUE, sizeof(FaceVertex), reinterpret_cast<void*>(offsetof(FaceVertex, color)));
    }

    void UploadEdges(Batch& batch, const std::vector<const MeshDraw*>& items, bool outlines = false) {
        if (batch.borrowsVertices) ReleaseBuffers(batch);
        if (outlines) {
            if (Batch* faces = FaceVerticesFor(items.data(), items.size())) {
                BorrowFaceVertices(batch, *faces);
                batch.selectedFor = 0;
                batch.count = 0;
                return;
            }
        }
        std::vector<LineVertex> vertices;
        std::vector<std::uint32_t> indices;
        for (const MeshDraw* d : items) {
            const Mesh& mesh = *d->mesh;
            if (mesh.edges.empty()) continue;
            const std::uint32_t base = static_cast<std::uint32_t>(vertices.size());
            const std::uint32_t color = PackColor(d->edgeColor);
            for (size_t i = 0; i < mesh.VertexCount(); ++i) {
                LineVertex v;
                if (d->identity) {
                    std::memcpy(v.position, &mesh.positions[3 * i], sizeof v.position);
                } else {
                    const cm::Vec3 p = cm::TransformPoint(d->matrix, {mesh.positions[3 * i], mesh.positions[3 * i + 1], mesh.positions[3 * i + 2]});
                    v.position[0] = static_cast<float>(p.x), v.position[1] = static_cast<float>(p.y), v.position[2] = static_cast<float>(p.z);
                }
                v.color = color;
                vertices.push_back(v);
            }
            // Per-edge colours need their own copies of the first vertex (colour comes from it).
            for (size_t e = 0; e < mesh.EdgeCount(); ++e) {
                std::uint32_t a = base + mesh.edges[4 * e];
                if (!mesh.edgeColors.empty() && (mesh.edgeColors[e] >> 24) != 0) {
                    LineVertex copy = vertices[a];
                    copy.color = mesh.edgeColors[e];
                    a = static_cast<std::uint32_t>(vertices.size());
                    vertices.push_back(copy);
                    // Keep "no face" markers pointing at the same position: c == a checks positions.
                }
                if (!outlines)
                    indices.insert(indices.end(), {a, base + mesh.edges[4 * e + 1], base + mesh.edges[4 * e + 2], base + mesh.edges[4 * e + 3]});
            }
        }
        batch.selectedFor = 0;
        if (!outlines) {
            UploadLines(batch, vertices, indices);
            return;
        }
        // Outline modes: only the vertices go up here. The indices are those of the few edges
        // the mode can show from the frame's camera (SelectOutlines).
        EnsureLineLayout(batch);
        glBindVertexArray(batch.vao.Get());
        glBindBuffer(GL_ARRAY_BUFFER, batch.vertices->Get());
        Fill(batch, GL_ARRAY_BUFFER, vertices, GL_STATIC_DRAW);
        batch.count = 0;
        ++stats->rebuiltBatches;
    }

    // Outline modes: uploads the edges the mode can show from this camera in place of all,
    // chosen from the items' own meshes (OutlineEdges.h) and numbered as UploadEdges laid
    // their vertices out.
    void SelectOutlines(const Frame& f, Batch& batch, const MeshDraw* const* items, size_t count) {
        const cm::Camera& camera = f.layer->camera;
        Hasher key;
        key.Add(batch.signature);
        for (const cm::Vec3& v : {camera.position, camera.target}) {
            key.AddDouble(v.x);
            key.AddDouble(v.y);
            key.AddDouble(v.z);
        }
        key.Add(static_cast<std::uint64_t>(camera.projection));
        // The field and the viewport set how long each edge is on screen.
        key.AddDouble(camera.width);
        key.AddDouble(camera.height);
        key.AddFloat(f.viewport[0]);
        key.AddFloat(f.viewport[1]);
        if (batch.selectedFor == key.h) return;
        OutlineScreen screen;
        screen.worldToClip = f.worldToClip;
        screen.viewport[0] = f.viewport[0];
        screen.viewport[1] = f.viewport[1];
        screen.minPixels = kShortestOutlinePixels;
        std::vector<std::uint32_t> selected, kept;
        std::vector<float> moved;
        std::uint32_t base = 0;
        for (size_t n = 0; n < count; ++n) {
            const MeshDraw& d = *items[n];
            const Mesh& mesh = *d.mesh;
            if (mesh.edges.empty()) continue;
            const std::vector<float>* positions = &mesh.positions;
            if (!d.identity) {
                // The world positions UploadEdges computed.
                moved.resize(mesh.positions.size());
                for (size_t i = 0; i < mesh.VertexCount(); ++i) {
                    const cm::Vec3 p = cm::TransformPoint(d.matrix, {mesh.positions[3 * i], mesh.positions[3 * i + 1], mesh.positions[3 * i + 2]});
                    moved[3 * i] = static_cast<float>(p.x), moved[3 * i + 1] = static_cast<float>(p.y), moved[3 * i + 2] = static_cast<float>(p.z);
                }
                positions = &moved;
            }
            kept.clear();
            // Where the faces show in colour, edges too short to see are left out; where they
            // only hide (the hidden-line modes) the edges are the picture, and all stay.
            const bool coloured = d.faces && !d.hiddenSurfaceOnly;
            SelectOutlineEdges(*positions, mesh.edges, camera, kCreaseCos, kept, coloured ? &screen : nullptr);
            // An edge with a colour of its own starts at its own copy of its first vertex,
            // after the mesh's vertices, in edge order.
            const bool ownColors = !mesh.edgeColors.empty();
            std::uint32_t copies = 0;
            size_t next = 0;
            for (std::uint32_t e = 0; e < mesh.EdgeCount(); ++e) {
                const bool copied = ownColors && (mesh.edgeColors[e] >> 24) != 0;
                if (next < kept.size() && kept[next] == e) {
                    const size_t v = 4 * size_t{e};
                    const std::uint32_t a = copied ? base + static_cast<std::uint32_t>(mesh.VertexCount()) + copies : base + mesh.edges[v];
                    selected.insert(selected.end(), {a, base + mesh.edges[v + 1], base + mesh.edges[v + 2], base + mesh.edges[v + 3]});
                    ++next;
                } else if (!ownColors && next == kept.size()) {
                    break;
                }
                if (copied) ++copies;
            }
            base += static_cast<std::uint32_t>(mesh.VertexCount()) + copies;
        }
        glBindVertexArray(batch.vao.Get());
        FillIndices(batch, selected, base, GL_STREAM_DRAW);
        batch.count = static_cast<GLsizei>(selected.size());
        batch.selectedFor = key.h;
    }

    void UseLine(const Frame& f, const LineState& s) {
        Program& line = UseProgram(ClipVariant(ProgramKind::Line, *f.layer, s.clipSet));
        SetMatrix(line, "uWorldToClip", f.worldToClip);
        glUniform2f(line.At("uViewport"), f.viewport[0], f.viewport[1]);
        glUniform1f(line.At("uWeight"), std::max(s.weight, minLineWeight));
        glUniform1i(line.At("uSilhouetteOnly"), s.silhouetteOnly ? 1 : 0);
        glUniform1f(line.At("uCreaseCos"), kCreaseCos);
        glUniform1i(line.At("uPattern"), s.pattern.mask);
        glUniform1f(line.At("uPatternScale"), s.pattern.scale);
        SetClip(line, *f.layer, s.clipSet);
        glDepthRange(s.depthRange.nearValue, s.depthRange.farValue);
    }

    void DrawEdgesAndLines(const Frame& f, std::uint64_t layerId) {
        const Layer& layer = *f.layer;
        std::vector<std::uint64_t> order;
        std::unordered_map<std::uint64_t, std::vector<const MeshDraw*>> groups;
        for (const MeshDraw& d : layer.meshes) {
            if (!d.edges || d.mesh->edges.empty()) continue;
            const std::uint64_t key = LineKey(d.edgeState);
            auto [it, inserted] = groups.try_emplace(key);
            if (inserted) order.push_back(key);
            it->second.push_back(&d);
        }
        for (std::uint64_t key : order) {
            const auto& items = groups[key];
            const bool outlines = items.front()->edgeState.silhouetteOnly;
            UseLine(f, items.front()->edgeState);
            DrawChunks(
                layerId ^ key ^ 0x3333, items, false, GL_LINES_ADJACENCY, EdgeVertices,
                [this, outlines](Batch& b, const std::vector<const MeshDraw*>& part) { UploadEdges(b, part, outlines); },
                [this, &f, outlines](Batch& b, const MeshDraw* const* part, size_t count) {
                    if (!outlines) return;
                    if (b.borrowsVertices) {
                        if (Batch* faces = FaceVerticesFor(part, count)) {
                            BorrowFaceVertices(b, *faces);
                        } else {  // the faces are gone: the edges take their own vertices again
                            UploadEdges(b, std::vector<const MeshDraw*>(part, part + count), true);
                        }
                    }
                    SelectOutlines(f, b, part, count);
                });
        }
        // Polylines: grouped by state, rebuilt when their points or colours change.
        std::vector<std::uint64_t> lineOrder;
        std::unordered_map<std::uint64_t, std::vector<const LineDraw*>> lineGroups;
        for (const LineDraw& l : layer.lines) {
            const std::uint64_t key = LineKey(l.state);
            auto [it, inserted] = lineGroups.try_emplace(key);
            if (inserted) lineOrder.push_back(key);
            it->second.push_back(&l);
        }
        for (std::uint64_t key : lineOrder) {
            const auto& items = lineGroups[key];
            Hasher signature;
            for (const LineDraw* l : items) {
                signature.AddColor(l->color);
                signature.Add(l->pairs);
                for (float v : l->points) signature.AddFloat(v);
                signature.Add(0xABCDEF);
            }
            Batch& batch = BatchFor(layerId ^ key ^ 0x4444);
            if (batch.signature != signature.h || !batch.vao) {
                std::vector<LineVertex> vertices;
                std::vector<std::uint32_t> indices;
                for (const LineDraw* l : items) {
                    const std::uint32_t base = static_cast<std::uint32_t>(vertices.size());
                    const size_t n = l->points.size() / 3;
                    for (size_t i = 0; i < n; ++i)
                        vertices.push_back({{l->points[3 * i], l->points[3 * i + 1], l->points[3 * i + 2]}, PackColor(l->color)});
                    for (size_t i = 0; i + 1 < n; i += l->pairs ? 2 : 1) {
                        const std::uint32_t a = base + static_cast<std::uint32_t>(i);
                        indices.insert(indices.end(), {a, a + 1, a, a});
                    }
                }
                UploadLines(batch, vertices, indices);
                batch.signature = signature.h;
            }
            LineState state = items.front()->state;
            state.silhouetteOnly = false;
            UseLine(f, state);
            glBindVertexArray(batch.vao.Get());
            glDrawElements(GL_LINES_ADJACENCY, batch.count, batch.indexType, nullptr);
            ++stats->drawCalls;
        }
    }

    // ---- markers ----

    static void EnsureMarkerLayout(Batch& batch) {
        EnsureLayout(batch, sizeof(MarkerVertex), {{0, 3, GL_FLOAT, 0}, {2, 4, GL_UNSIGNED_BYTE, 12}, {3, 2, GL_FLOAT, 16}},
                     false);
    }

    void UseMarker(const Frame& f, const cm::Matrix4& toClip, const float viewport[2], int clipSet, const DepthRange& range) {
        Program& marker = UseProgram(ClipVariant(ProgramKind::Marker, *f.layer, clipSet));
        SetMatrix(marker, "uWorldToClip", toClip);
        glUniform2f(marker.At("uViewport"), viewport[0], viewport[1]);
        SetClip(marker, *f.layer, clipSet);
        glDepthRange(range.nearValue, range.farValue);
    }

    void DrawMarkerVertices(Batch& batch, const std::vector<MarkerVertex>& vertices) {
        EnsureMarkerLayout(batch);
        glBindVertexArray(batch.vao.Get());
        glBindBuffer(GL_ARRAY_BUFFER, batch.vertices->Get());
        Fill(batch, GL_ARRAY_BUFFER, vertices, GL_STREAM_DRAW);
        batch.count = static_cast<GLsizei>(vertices.size());
        glDrawArrays(GL_POINTS, 0, batch.count);
        ++stats->drawCalls;
    }

    void DrawMarkers(const Frame& f, std::uint64_t layerId) {
        const Layer& layer = *f.layer;
        // Marker items: few, rebuilt every frame.
        std::map<std::pair<int, std::pair<float, float>>, std::vector<MarkerVertex>> groups;
        for (const MarkerDraw& m : layer.markers)
            groups[{m.clipSet, {m.depthRange.nearValue, m.depthRange.farValue}}].push_back(
                {{m.position[0], m.position[1], m.position[2]}, PackColor(m.color), static_cast<float>(m.symbol), m.size});
        for (const MeshDraw& d : layer.meshes) {
            if (!d.vertexMarkers) continue;
            auto& out = groups[{d.surface.clipSet, {d.surface.depthRange.nearValue, d.surface.depthRange.farValue}}];
            const Mesh& mesh = *d.mesh;
            for (std::uint32_t v : mesh.markerVertices) {
                cm::Vec3 p{mesh.positions[3 * v], mesh.positions[3 * v + 1], mesh.positions[3 * v + 2]};
                if (!d.identity) p = cm::TransformPoint(d.matrix, p);
                out.push_back({{static_cast<float>(p.x), static_cast<float>(p.y), static_cast<float>(p.z)}, PackColor(d.markerColor),
                               static_cast<float>(d.markerSymbol), d.markerSize});
            }
        }
        int index = 0;
        for (const auto& [key, vertices] : groups) {
            if (vertices.empty()) continue;
            UseMarker(f, f.worldToClip, f.viewport, key.first, {key.second.first, key.second.second});
            DrawMarkerVertices(BatchFor(layerId ^ 0x5555 ^ static_cast<std::uint64_t>(index++)), vertices);
        }
    }

    // ---- text and device-space primitives ----

    // mode: 0 glyph coverage from the atlas, 1 plain colour, 2 the bound RGBA texture.
    void DrawTextQuads(const Frame& f, const std::vector<TextVertex>& vertices, std::uint64_t id, bool solid, int mode = -1) {
        if (mode < 0) mode = solid ? 1 : 0;
        if (vertices.empty()) return;
        Batch& batch = BatchFor(id);
        EnsureLayout(batch, sizeof(TextVertex), {{0, 3, GL_FLOAT, 0}, {1, 2, GL_FLOAT, 12}, {2, 4, GL_UNSIGNED_BYTE, 20}}, false);
        glUseProgram(text.program.Get());
        glUniform2f(text.At("uViewport"), f.viewport[0], f.viewport[1]);
        glUniform1i(text.At("uSolid"), mode);
        glUniform1i(text.At("uAtlas"), 0);
        glActiveTexture(GL_TEXTURE0);
        if (mode == 0) textRenderer.Atlas();
        glBindVertexArray(batch.vao.Get());
        glBindBuffer(GL_ARRAY_BUFFER, batch.vertices->Get());
        Fill(batch, GL_ARRAY_BUFFER, vertices, GL_STREAM_DRAW);
        glEnable(GL_BLEND);
        glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
        glDepthRange(0, 1);
        glDrawArrays(GL_TRIANGLES, 0, static_cast<GLsizei>(vertices.size()));
        glDisable(GL_BLEND);
        ++stats->drawCalls;
    }

    void DrawTexts(const Frame& f, std::uint64_t layerId) {
        const Layer& layer = *f.layer;
        if (layer.texts.empty()) return;
        std::vector<TextVertex> vertices;
        const double aspect = static_cast<double>(layer.width) / std::max(1, layer.height);
        // Screen rectangles of the texts kept so far that hide what overlaps them.
        struct Rect {
            float x0, y0, x1, y1;
        };
        std::vector<Rect> kept;
        // Drops the text just laid out (from `start` on) when it overlaps a kept one.
        auto keepUnlessOverlapped = [&](const TextDraw& t, size_t start) {
            if (!t.hideOverlapped || start == vertices.size()) return;
            Rect r{vertices[start].x, vertices[start].y, vertices[start].x, vertices[start].y};
            for (size_t i = start; i < vertices.size(); ++i) {
                r.x0 = std::min(r.x0, vertices[i].x), r.x1 = std::max(r.x1, vertices[i].x);
                r.y0 = std::min(r.y0, vertices[i].y), r.y1 = std::max(r.y1, vertices[i].y);
            }
            for (const Rect& k : kept)
                if (r.x0 < k.x1 && k.x0 < r.x1 && r.y0 < k.y1 && k.y0 < r.y1) {
                    vertices.resize(start);
                    return;
                }
            kept.push_back(r);
        };
        for (const TextDraw& t : layer.texts) {
            double w = 1;
            const cm::Vec3 clip = cm::TransformPoint(f.worldToClip, {t.position[0], t.position[1], t.position[2]}, &w);
            if (w <= 0 || clip.z < -1 || clip.z > 1) continue;
            if (t.clipSet >= 0 && t.clipSet < static_cast<int>(layer.clipSets.size()) &&
                IsCutAway(layer.clipSets[static_cast<size_t>(t.clipSet)], t.position[0], t.position[1], t.position[2]))
                continue;
            const float x = static_cast<float>((clip.x + 1) / 2 * layer.width);
            const float y = static_cast<float>((clip.y + 1) / 2 * layer.height);
            const float depthWindow = static_cast<float>((clip.z + 1) / 2);
            const float depth = t.depthRange.nearValue + depthWindow * (t.depthRange.farValue - t.depthRange.nearValue);
            float pixels = t.size * 96.0f / 72.0f;
            if (t.sizeUnit == TextDraw::Unit::Pixels) pixels = t.size;
            if (t.sizeUnit == TextDraw::Unit::WorldUnits) {
                const cm::HalfField half = cm::VisibleHalfField(layer.camera, aspect);
                double scale = layer.height / (2.0 * half.y);  // pixels per world unit on the target plane
                if (layer.camera.projection == cm::Projection::Perspective) {
                    const double depthEye = cm::TransformPoint(f.worldToEye, {t.position[0], t.position[1], t.position[2]}).z;
                    const double distance = cm::Length(layer.camera.target - layer.camera.position);
                    if (depthEye > 0) scale *= distance / depthEye;
                }
                pixels = static_cast<float>(t.size * scale);
            }
            const size_t start = vertices.size();
            if (t.transforms) {
                LayInPlane(f, t, pixels, vertices);
                keepUnlessOverlapped(t, start);
                continue;
            }
            if (pixels < 1.0f || pixels > 2048.0f) continue;
            textRenderer.Layout(t, x, y, depth, pixels, 0.0f, vertices);
            keepUnlessOverlapped(t, start);
        }
        DrawTextQuads(f, vertices, layerId ^ 0x6666, false);
    }

    // Text with "transforms = on": laid out in its object's plane (along the object's x axis,
    // up its y axis) at `pixels` (its size on screen were it facing the viewer), then
    // projected corner by corner. World-unit sizes are object units, so the text scales with
    // the model and the camera; point and pixel sizes keep their screen size at the anchor.
    void LayInPlane(const Frame& f, const TextDraw& t, float pixels, std::vector<TextVertex>& out) {
        const Layer& layer = *f.layer;
        const cm::Vec3 anchor{t.position[0], t.position[1], t.position[2]};
        cm::Vec3 xAxis{t.xAxis[0], t.xAxis[1], t.xAxis[2]}, yAxis{t.yAxis[0], t.yAxis[1], t.yAxis[2]};
        double em = t.size;  // in object units along the axes
        if (t.sizeUnit != TextDraw::Unit::WorldUnits) {
            // World units per pixel at the anchor, the em kept at that many pixels.
            const double aspect = static_cast<double>(layer.width) / std::max(1, layer.height);
            const cm::HalfField half = cm::VisibleHalfField(layer.camera, aspect);
            double worldPerPixel = 2.0 * half.y / std::max(1, layer.height);
            if (layer.camera.projection == cm::Projection::Perspective) {
                const double depthEye = cm::TransformPoint(f.worldToEye, anchor).z;
                const double distance = cm::Length(layer.camera.target - layer.camera.position);
                if (depthEye > 0 && distance > 0) worldPerPixel *= depthEye / distance;
            }
            xAxis = cm::Normalized(xAxis);
            yAxis = cm::Normalized(yAxis);
            em = pixels * worldPerPixel;
        }
        if (!(em > 0) || cm::Length(xAxis) == 0 || cm::Length(yAxis) == 0) return;
        // Raster the glyphs at about their projected size.
        float ax = 0, ay = 0, az = 0;
        if (!ToPixels(f, t.position.data(), t.depthRange, ax, ay, az)) return;
        double projected = 0;
        for (const cm::Vec3& axis : {xAxis, yAxis}) {
            const cm::Vec3 tip = anchor + axis * em;
            const float point[3] = {static_cast<float>(tip.x), static_cast<float>(tip.y), static_cast<float>(tip.z)};
            float px = 0, py = 0, pz = 0;
            if (ToPixels(f, point, t.depthRange, px, py, pz)) projected = std::max(projected, static_cast<double>(std::hypot(px - ax, py - ay)));
        }
        if (projected < 1.0 || projected > 4096.0) return;
        const float raster = static_cast<float>(std::clamp(projected, 4.0, 256.0));
        std::vector<TextVertex> local;
        if (!textRenderer.Layout(t, 0, 0, 0, raster, 0.0f, local)) return;
        const double perPixel = em / raster;
        for (TextVertex v : local) {
            const cm::Vec3 w = anchor + xAxis * (v.x * perPixel) + yAxis * (v.y * perPixel);
            const float point[3] = {static_cast<float>(w.x), static_cast<float>(w.y), static_cast<float>(w.z)};
            if (!ToPixels(f, point, t.depthRange, v.x, v.y, v.z)) return;
            out.push_back(v);
        }
    }

    TextureCache imageTextures;

    void DrawImages(const Frame& f, std::uint64_t layerId) {
        const Layer& layer = *f.layer;
        int index = 0;
        for (const ImageDraw& image : layer.images) {
            double w = 1;
            const cm::Vec3 clip = cm::TransformPoint(f.worldToClip, {image.position[0], image.position[1], image.position[2]}, &w);
            if (w <= 0 || clip.z < -1 || clip.z > 1) continue;
            const GLuint texture = TextureFor(imageTextures, image.key, image.width, image.height, image.rgba.data(),
                                              image.changeCount, GL_CLAMP_TO_EDGE);
            // One image pixel per screen pixel, centred on the projected position; row 0 on top.
            const float cx = static_cast<float>((clip.x + 1) / 2 * layer.width);
            const float cy = static_cast<float>((clip.y + 1) / 2 * layer.height);
            const float z = image.depthRange.nearValue + static_cast<float>((clip.z + 1) / 2) * (image.depthRange.farValue - image.depthRange.nearValue);
            const float x0 = std::floor(cx - image.width / 2.0f), y0 = std::floor(cy - image.height / 2.0f);
            const float x1 = x0 + image.width, y1 = y0 + image.height;
            const std::vector<TextVertex> quad = {{x0, y0, z, 0, 1, 0}, {x1, y0, z, 1, 1, 0}, {x1, y1, z, 1, 0, 0},
                                                  {x0, y0, z, 0, 1, 0}, {x1, y1, z, 1, 0, 0}, {x0, y1, z, 0, 0, 0}};
            glActiveTexture(GL_TEXTURE0);
            glBindTexture(GL_TEXTURE_2D, texture);
            DrawTextQuads(f, quad, layerId ^ 0xAAAA ^ static_cast<std::uint64_t>(index++), true, 2);
        }
    }

    void DrawDevicePrimitives(const Frame& f, const DcPrimitives& prims, std::uint64_t layerId) {
        if (prims.Empty()) return;
        const Layer& layer = *f.layer;
        // Device space to clip: pixels from the viewport's corner, depth 0..1.
        cm::Matrix4 toClip;
        toClip(0, 0) = 2.0 / layer.width;
        toClip(1, 1) = 2.0 / layer.height;
        toClip(2, 2) = 2.0;
        toClip(3, 0) = -1.0;
        toClip(3, 1) = -1.0;
        toClip(3, 2) = -1.0;
        Frame device = f;
        device.worldToClip = toClip;
        int index = 0;
        for (const auto& polyline : prims.polylines) {
            std::vector<LineVertex> vertices;
            std::vector<std::uint32_t> indices;
            const size_t n = polyline.points.size() / 3;
            for (size_t i = 0; i < n; ++i)
                vertices.push_back({{polyline.points[3 * i], polyline.points[3 * i + 1], polyline.points[3 * i + 2]}, PackColor(polyline.color)});
            for (std::uint32_t i = 0; i + 1 < n; ++i) indices.insert(indices.end(), {i, i + 1, i, i});
            Batch& batch = BatchFor(layerId ^ 0x7777 ^ static_cast<std::uint64_t>(index++));
            UploadLines(batch, vertices, indices);
            LineState state;
            state.weight = polyline.weight;
            UseLine(device, state);
            glDrawElements(GL_LINES_ADJACENCY, batch.count, batch.indexType, nullptr);
            ++stats->drawCalls;
        }
        std::vector<TextVertex> triangles;
        for (const auto& polyline : prims.polylines) {
            if (!polyline.startCap && !polyline.endCap) continue;
            const size_t n = polyline.points.size() / 3;
            std::vector<float> xy;
            for (size_t i = 0; i < n; ++i) xy.insert(xy.end(), {polyline.points[3 * i], polyline.points[3 * i + 1]});
            for (int end = 0; end < 2 && n >= 2; ++end) {
                std::vector<float> capXy;
                AppendLineCaps(xy, end == 0 ? polyline.startCap.get() : nullptr, end == 0 ? nullptr : polyline.endCap.get(),
                               polyline.weight, capXy);
                const float z = polyline.points[end == 0 ? 2 : 3 * (n - 1) + 2];
                for (size_t i = 0; i + 1 < capXy.size(); i += 2)
                    triangles.push_back({capXy[i], capXy[i + 1], z, 0, 0, PackColor(polyline.color)});
            }
        }
        for (const auto& polygon : prims.polygons) {
            const size_t n = polygon.points.size() / 3;
            for (size_t i = 1; i + 1 < n; ++i)
                for (size_t k : {size_t(0), i, i + 1})
                    triangles.push_back({polygon.points[3 * k], polygon.points[3 * k + 1], polygon.points[3 * k + 2], 0, 0, PackColor(polygon.color)});
        }
        DrawTextQuads(device, triangles, layerId ^ 0x8888, true);
        if (!prims.markers.empty()) {
            std::vector<MarkerVertex> vertices;
            for (const auto& m : prims.markers)
                vertices.push_back({{m.x, m.y, m.z}, PackColor(m.color), static_cast<float>(m.symbol), m.size});
            UseMarker(device, toClip, f.viewport, -1, {});
            DrawMarkerVertices(BatchFor(layerId ^ 0x9999), vertices);
        }
    }

    void DrawBackground(const Layer& layer) {
        // One colour: a clear writes it without running a program over every pixel.
        if (layer.windowTop == layer.windowBottom) {
            glClearColor(layer.windowTop.r, layer.windowTop.g, layer.windowTop.b, 1.0f);
            glClear(GL_COLOR_BUFFER_BIT);
            return;
        }
        glUseProgram(background.program.Get());
        glUniform3f(background.At("uTop"), layer.windowTop.r, layer.windowTop.g, layer.windowTop.b);
        glUniform3f(background.At("uBottom"), layer.windowBottom.r, layer.windowBottom.g, layer.windowBottom.b);
        glDisable(GL_DEPTH_TEST);
        glDepthMask(GL_FALSE);
        glBindVertexArray(emptyVao.Get());
        glDrawArrays(GL_TRIANGLES, 0, 3);
        glDepthMask(GL_TRUE);
        glEnable(GL_DEPTH_TEST);
        ++stats->drawCalls;
    }

    std::vector<const MeshDraw*> m_transparent;
};

GlBackend::GlBackend() : m_impl(std::make_unique<Impl>()) {}
GlBackend::~GlBackend() = default;

namespace {

} // namespace

bool SetGeneralPrograms(bool on) { return std::exchange(g_generalPrograms, on); }

void GlBackend::SetShareGroup(const void* group) { m_impl->shareGroup = group; }

bool GlBackend::Initialize(std::string* error) {
    Impl& d = *m_impl;
    if (d.text.program) return true;
    std::string log;
    // The general programs first: every other variant falls back on them.
    bool compiled = true;
    for (ProgramKind kind : {ProgramKind::Surface, ProgramKind::Line, ProgramKind::Marker}) {
        const ProgramVariant general = Impl::General(kind);
        GlProgram program = compiled ? Impl::Compile(general, &log) : GlProgram();
        compiled = static_cast<bool>(program);
        if (compiled) d.programs.emplace(general.Key(), Program{std::move(program), {}});
    }
    if (compiled) d.background.program = MakeProgram(shaders::kBackgroundVertex, shaders::kBackgroundFragment, &log);
    if (d.background.program) d.text.program = MakeProgram(shaders::kTextVertex, shaders::kTextFragment, &log);
    if (!d.text.program) {
        d.programs.clear();
        d.background.program.Reset();
        if (error) *error = "renderer programs failed: " + log;
        return false;
    }
    d.emptyVao = MakeVertexArray();
    return true;
}

void GlBackend::Draw(const DrawList& list, GLuint framebuffer, int divisor) {
    Impl& d = *m_impl;
    m_stats = {};
    d.stats = &m_stats;
    ++d.frame;
    d.level = list.detailLevel;
    divisor = std::max(divisor, 1);
    d.minLineWeight = static_cast<float>(divisor);
    glBindFramebuffer(GL_FRAMEBUFFER, framebuffer);
    glEnable(GL_SCISSOR_TEST);
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LEQUAL);
    glDisable(GL_CULL_FACE);
    glDisable(GL_BLEND);
    for (int i = 0; i < 8; ++i) glDisable(GL_CLIP_DISTANCE0 + i);
    d.enabledClipDistances = 0;
    for (size_t index = 0; index < list.layers.size(); ++index) {
        const Layer& layer = list.layers[index];
        if (layer.width <= 0 || layer.height <= 0) continue;
        // A reduced frame keeps every size in the window's pixels (line weights, text, markers
        // shrink with the viewport and come back when it is scaled up).
        const int x = layer.x / divisor, y = layer.y / divisor;
        const int w = std::max(1, layer.width / divisor), h = std::max(1, layer.height / divisor);
        glViewport(x, y, w, h);
        glScissor(x, y, w, h);
        if (index == 0 || layer.clearColor) d.DrawBackground(layer);
        glDepthMask(GL_TRUE);
        glClearDepth(1.0);
        glClear(GL_DEPTH_BUFFER_BIT);
        const Frame frame = MakeFrame(layer);
        Hasher layerHash;
        layerHash.Add(index);
        // Each motion level keeps buffers of its own, so the frame at rest finds the full
        // detail ones still there after a motion, and the next motion its coarse ones.
        layerHash.Add(static_cast<std::uint64_t>(list.detailLevel));
        layerHash.Add(static_cast<std::uint64_t>(layer.segment));
        const std::uint64_t layerId = layerHash.h;
        d.DrawFaces(frame, layerId);
        d.DrawSectionCaps(frame, layerId, framebuffer);
        d.DrawTextured(frame, layerId);
        d.DrawEdgesAndLines(frame, layerId);
        d.DrawCaps(frame, layerId);
        d.DrawMarkers(frame, layerId);
        d.DrawTransparent(frame, layerId);
        d.DrawImages(frame, layerId);
        d.DrawTexts(frame, layerId);
        if (!layer.callbacks.empty()) {
            DcPrimitives prims;
            cm::Matrix4 toDevice = frame.worldToClip;
            cm::Matrix4 clipToDevice;
            clipToDevice(0, 0) = layer.width / 2.0;
            clipToDevice(1, 1) = layer.height / 2.0;
            clipToDevice(2, 2) = 0.5;
            clipToDevice(3, 0) = layer.width / 2.0;
            clipToDevice(3, 1) = layer.height / 2.0;
            clipToDevice(3, 2) = 0.5;
            toDevice = cm::Multiply(toDevice, clipToDevice);
            RunDcCallbacks(layer, toDevice, layer.width, layer.height, list.displayKey, prims);
            d.DrawDevicePrimitives(frame, prims, layerId);
        }
    }
    for (int i = 0; i < d.enabledClipDistances; ++i) glDisable(GL_CLIP_DISTANCE0 + i);
    d.enabledClipDistances = 0;
    glDepthRange(0, 1);
    glBindVertexArray(0);
    glUseProgram(0);
    d.ForgetOldTextures(d.imageTextures);
    d.ForgetOldTextures(d.surfaceTextures);
    // Batches of this level not drawn for a while belong to items that are gone; those of
    // other levels wait for a frame of their level. Full detail (level 0) waits as long as it
    // takes, for the frame at rest after a motion; a coarser level that no frame has used for
    // kIdleLevelFrames (one the motion tried and left, say) gives its memory back.
    for (auto it = d.batches.begin(); it != d.batches.end();) {
        const Batch& b = it->second;
        if ((b.level == d.level && b.lastFrame + 8 < d.frame) ||
            (b.level != d.level && b.level > 0 && b.lastFrame + kIdleLevelFrames < d.frame)) {
            it = d.batches.erase(it);
        } else {
            m_stats.bufferBytes += it->second.vertexBytes + it->second.indexBytes;
            ++it;
        }
    }
}

} // namespace ketra::render

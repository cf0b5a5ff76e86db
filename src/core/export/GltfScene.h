// A glTF 2.0 scene assembled part by part and written as one binary file (".glb"). Each Add call
// returns the new part's index and numbers whatever it needs behind it (accessors, buffer views,
// images, the shared sampler), so a writer never counts indices by hand. Bulk data is not held:
// every buffer view is produced by a callback while the binary chunk streams out, and the JSON
// streams out once ahead of it, so large extras may stream too. Bounds of positions are asked for
// once the binary chunk is written, so they may be found while the vertices are made; the JSON
// keeps room for them in spaces and they are written into it last.
#pragma once

#include "export/ByteSink.h"
#include "export/ExportProgress.h"
#include "track/Vector3D.h"

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace rolvet {

// A GLB counts its length in 32 bits.
inline constexpr std::uint64_t kMaxGlbBytes = 0xFFFFFFFFu;

// The longest text of one point [x,y,z], three of the longest float texts.
inline constexpr std::size_t kMaxPointChars = 3 * 16 + 4;
// Writes [x,y,z], each the shortest float text, from out on; end must leave kMaxPointChars.
// Returns the end of the text.
char* FormatPoint(char* out, char* end, const CVector3D& p);

// JSON text handed on in pieces of about 64 KiB.
class CJson {
public:
    explicit CJson(std::function<bool(std::string_view)> out);
    CJson& Raw(std::string_view text);
    CJson& Int(std::int64_t value);
    // The shortest text that reads back as the same float.
    CJson& Float(float value);
    // A double's shortest text (also the exact value of a float widened to double).
    CJson& Double(double value);
    CJson& Point(const CVector3D& p); // [x,y,z], each the shortest float text
    CJson& String(std::string_view text);
    // Hands on what is collected; false once the output refused a piece.
    bool Flush();
    // False once the output refused a piece.
    bool Ok() const { return m_ok; }
    // How many bytes of text have been given so far, handed on or not.
    std::uint64_t Size() const { return m_handed + m_text.size(); }

private:
    std::function<bool(std::string_view)> m_out;
    std::string m_text;
    std::uint64_t m_handed = 0;
    bool m_ok = true;
};

// Hands bytes to the sink at the place of the part being written and tells progress how many
// of the file's bytes are written. A producer of one buffer view appends with Write(data, size);
// a producer of several views at once appends to the p-th of them with Write(p, data, size).
class CGlbOutput {
public:
    CGlbOutput(CByteSink& sink, const ExportProgress& progress);
    WriteResult Write(const void* data, std::uint64_t size) { return Write(0, data, size); }
    WriteResult Write(std::size_t part, const void* data, std::uint64_t size);
    std::uint64_t Done() const { return m_done; }

private:
    friend class CGltfScene;
    // Where the parts being written go next; progress totals are taken as the file's length.
    std::vector<std::uint64_t> m_cursors;
    std::uint64_t m_total = 0;

    CByteSink& m_sink;
    const ExportProgress& m_progress;
    std::uint64_t m_done = 0;
};

// Produces exactly the byte count promised for a buffer view (or for each view of a joint
// producer).
using GltfBytes = std::function<WriteResult(CGlbOutput&)>;

// The smallest and largest x, y, z of an attribute's values, asked for once every buffer view is
// written.
using GltfBounds = std::function<std::array<CVector3D, 2>()>;

// One vertex attribute of 32-bit floats; the attributes of a primitive are interleaved in the
// order given. POSITION needs its bounds.
struct GltfAttribute {
    std::string name; // "POSITION", "NORMAL", "TEXCOORD_0"
    int components = 3;
    GltfBounds bounds; // empty: none
};

struct GltfPrimitive {
    std::vector<GltfAttribute> attributes;
    std::uint64_t vertexCount = 0;
    GltfBytes vertices; // vertexCount interleaved vertices
    std::uint64_t indexCount = 0;
    GltfBytes indices; // indexCount unsigned 32-bit indices; empty: the joint producer's
    int material = -1; // -1: none
    int mode = 4;      // triangles
    // A joint producer (CGltfScene::AddJointVertices) that writes these vertices, and these
    // indices when `indices` is empty, together with those of other primitives; vertices is then
    // not used. -1: none.
    int joint = -1;
};

struct GltfMaterial {
    std::string name;
    int texture = -1;                            // base colour texture; -1: the plain colour
    std::array<double, 4> colour = {1, 1, 1, 1}; // used without a texture
    double metallic = 0.0;
    double roughness = 1.0;
};

struct GltfNode {
    std::string name;
    int mesh = -1; // -1: none
    std::optional<std::array<double, 3>> translation;
    std::optional<std::array<double, 4>> rotation; // unit quaternion x, y, z, w
    std::function<void(CJson&)> extras;            // writes one JSON object; empty: none
};

// The sampler every texture shares: linear filtering with mipmaps, repeated in both directions.
struct GltfSampler {
    static constexpr int kMagFilter = 9729; // LINEAR
    static constexpr int kMinFilter = 9987; // LINEAR_MIPMAP_LINEAR
    static constexpr int kWrapS = 10497;    // REPEAT
    static constexpr int kWrapT = 10497;    // REPEAT
};

class CGltfScene {
public:
    explicit CGltfScene(std::string generator);

    // An embedded PNG image and a texture that shows it. png must stay alive until written.
    int AddTexture(std::string name, std::string_view png);
    int AddMaterial(GltfMaterial material);
    // A producer of the vertices (and indices) of several primitives, of one mesh or several, in
    // one pass: the p-th buffer view added with this joint's id gets its bytes through
    // Write(p, ...), a primitive's vertices coming before its indices.
    int AddJointVertices(GltfBytes producer);
    int AddMesh(std::string name, std::vector<GltfPrimitive> primitives);
    // Every node is a root of the one scene.
    int AddNode(GltfNode node);

    // Writes the file; the sink must take writes at offsets (the header is written last, once
    // the JSON's length is known, so the JSON is produced only once). Failed (with status ok)
    // when it would exceed kMaxGlbBytes; the sink then holds an incomplete file.
    WriteResult Write(CByteSink& sink, const ExportProgress& progress = {}) const;

private:
    struct View {
        std::uint64_t size;
        int target;     // 0: none (images)
        int byteStride; // 0: tightly packed
        GltfBytes bytes;
        int joint = -1; // the joint producer that writes it instead (index into m_joints)
    };
    struct Accessor {
        int view;
        std::uint64_t offset;
        std::uint64_t count;
        int componentType;
        const char* type;
        GltfBounds bounds;
    };
    struct Primitive {
        std::vector<std::pair<std::string, int>> attributes; // name, accessor
        int indices;
        int material;
        int mode;
    };
    struct Mesh {
        std::string name;
        std::vector<Primitive> primitives;
    };
    struct Image {
        std::string name;
        int view;
    };

    int AddView(std::uint64_t size, int target, int byteStride, GltfBytes bytes);
    // Writes the JSON; returns the accessors whose bounds are to be written later and where
    // their room in the file begins.
    std::vector<std::pair<std::size_t, std::uint64_t>> WriteJson(CJson& json) const;
    std::uint64_t BinaryBytes() const;

    std::string m_generator;
    std::vector<GltfNode> m_nodes;
    std::vector<Mesh> m_meshes;
    std::vector<GltfMaterial> m_materials;
    std::vector<Image> m_images; // texture i shows image i
    std::vector<Accessor> m_accessors;
    std::vector<View> m_views;
    std::vector<GltfBytes> m_joints;
};

} // namespace rolvet

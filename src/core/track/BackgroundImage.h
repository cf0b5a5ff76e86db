// A picture under the plan (a photo or a map of the real place), placed in the world by two of
// its points. It travels with the track in the extension's chunk "BGIM":
//   float64 u1, v1, u2, v2   two points of the image, in its pixels (u right, v down)
//   float64 x1, z1, x2, z2   where those two points lie in the world
//   uint32  opacity          percent, 0 to 100
//   uint32  L, then L bytes  the image file's path, UTF-8, '/' between folders; relative to the
//                            track file's folder unless it was saved as an absolute path
// all little-endian, 72 + L bytes. The two points give position, scale and rotation; the image
// is never mirrored.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace rolvet {

struct BackgroundImage {
    std::string path; // absolute while the track is open; see StoredBackgroundPath
    double u1 = 0.0, v1 = 0.0, u2 = 0.0, v2 = 0.0;
    double x1 = 0.0, z1 = 0.0, x2 = 0.0, z2 = 0.0;
    int opacity = 50; // percent

    friend bool operator==(const BackgroundImage&, const BackgroundImage&) = default;
};

// Image pixel (u, v) to world (x, z): x = a·u − b·v + tx, z = b·u + a·v + tz, a rotation and a
// uniform scale followed by a shift.
struct ImagePlacement {
    double a = 1.0, b = 0.0, tx = 0.0, tz = 0.0;

    double X(double u, double v) const { return a * u - b * v + tx; }
    double Z(double u, double v) const { return b * u + a * v + tz; }
};

// The placement that takes image point 1 to world point 1 and image point 2 to world point 2.
// nullopt when the two image points coincide or a value is not finite.
std::optional<ImagePlacement> PlaceImage(const BackgroundImage& image);

// The world point 2 for image points 1 and 2 a given world distance apart, the image not
// rotated: point 1 stays at (x1, z1). nullopt when the image points coincide.
std::optional<std::pair<double, double>> PointAtDistance(const BackgroundImage& image,
                                                         double distance);

// What the extension's chunks hold about the background image.
enum class BackgroundChunkState { None, Read, Damaged };

// Looks for the "BGIM" chunk among chunks (tag, uint32 size, data, one after another). Read:
// out holds it, its path as stored. Damaged: the chunk does not have the layout above (out is
// left alone).
BackgroundChunkState FindBackgroundChunk(std::span<const std::byte> chunks, BackgroundImage& out);

// chunks with the "BGIM" chunk replaced by image (where the old one was; at the end when there
// was none), or removed when image is nullptr. The other chunks stay as they are, byte for byte.
std::vector<std::byte> WithBackgroundChunk(std::span<const std::byte> chunks,
                                           const BackgroundImage* image);

// The path to store for an image file when the track is saved as trackFile: relative to the
// track's folder, or the image's own absolute path when trackFile is empty.
std::string StoredBackgroundPath(const std::filesystem::path& image,
                                 const std::filesystem::path& trackFile);
// The image file a stored path names, for a track read from trackFile.
std::filesystem::path ResolveBackgroundPath(const std::string& stored,
                                            const std::filesystem::path& trackFile);

} // namespace rolvet

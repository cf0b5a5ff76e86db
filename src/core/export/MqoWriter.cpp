#include "export/MqoWriter.h"

#include "common/AtomicFile.h"
#include "export/RoadModel.h"
#include "export/TextBuffer.h"

#include <bit>
#include <charconv>
#include <cstring>
#include <string_view>
#include <system_error>
#include <vector>

namespace rolvet {

namespace {

constexpr std::string_view kHeader =
    "Metasequoia Document\r\n"
    "Format Text Ver 1.0\r\n"
    "\r\n"
    "Scene {\r\n"
    "\tpos 0.0000 0.0000 5000.0000\r\n"
    "\tlookat 0.0000 0.0000 0.0000\r\n"
    "\thead -0.5236\r\n"
    "\tpich 0.5236\r\n"
    "\tortho 0\r\n"
    "\tzoom2 1.2000\r\n"
    "\tamb 0.250 0.250 0.250\r\n"
    "\tdirlights 1 {\r\n"
    "\t\tlight {\r\n"
    "\t\t\tdir 0.408 0.408 0.816\r\n"
    "\t\t\tcolor 1.000 1.000 1.000\r\n"
    "\t\t}\r\n"
    "\t}\r\n"
    "}\r\n"
    "Material 1 {\r\n"
    "\t\"mat1\" shader(3) col(1 1 1 1) dif(0) amb(0) emi(1) spc(0) "
    "power(5) tex(\"Road.png\")\r\n"
    "}\r\n";

constexpr std::string_view kObjectHeader = "Object \"obj1\" {\r\n"
                                           "\tvisible 15\r\n"
                                           "\tlocking 0\r\n"
                                           "\tshading 1\r\n"
                                           "\tfacet 89.5\r\n"
                                           "\tcolor 0.898 0.498 0.698\r\n"
                                           "\tcolor_type 0\r\n";

constexpr std::string_view kSurfaceUV = ") M(0) UV(0.26 0.26 0.26 1 1 1 1 0.26)\r\n";
constexpr std::string_view kPlusEdgeUV = ") M(0) UV(0 0.24 0 0 1 0 1 0.24)\r\n";
constexpr std::string_view kMinusEdgeUV = ") M(0) UV(0 0 0 0.24 1 0.24 1 0)\r\n";

// Room a single line can need: three numbers of at most kMaxFixedLength characters, or four
// 10-digit indices with the UV text.
// Progress is reported (and cancellation checked) once per this many samples.
constexpr std::uint64_t kProgressInterval = 4096;

constexpr char kDigitPairs[] = "00010203040506070809"
                               "10111213141516171819"
                               "20212223242526272829"
                               "30313233343536373839"
                               "40414243444546474849"
                               "50515253545556575859"
                               "60616263646566676869"
                               "70717273747576777879"
                               "80818283848586878889"
                               "90919293949596979899";

char* WritePair(char* out, std::uint32_t twoDigits) {
    std::memcpy(out, kDigitPairs + 2 * twoDigits, 2);
    return out + 2;
}

char* WriteUnsigned(char* out, std::uint64_t value) {
    char digits[20];
    char* const end = digits + sizeof digits;
    char* p = end;
    while (value >= 100) {
        p -= 2;
        WritePair(p, static_cast<std::uint32_t>(value % 100));
        value /= 100;
    }
    if (value >= 10) {
        p -= 2;
        WritePair(p, static_cast<std::uint32_t>(value));
    } else {
        *--p = static_cast<char>('0' + value);
    }
    const auto length = static_cast<std::size_t>(end - p);
    std::memcpy(out, p, length);
    return out + length;
}

char* WriteSigned(char* out, std::int64_t value) {
    if (value < 0) {
        *out++ = '-';
        return WriteUnsigned(out, 0 - static_cast<std::uint64_t>(value));
    }
    return WriteUnsigned(out, static_cast<std::uint64_t>(value));
}

char* WriteText(char* out, std::string_view text) {
    std::memcpy(out, text.data(), text.size());
    return out + text.size();
}

void AppendCountLine(CTextBuffer& out, std::string_view head, std::int64_t count) {
    char* p = out.Reserve();
    p = WriteText(p, head);
    p = WriteSigned(p, count);
    p = WriteText(p, " {\r\n");
    out.Commit(p);
}

void AppendVertexLine(CTextBuffer& out, const CVector3D& v) {
    char* p = out.Reserve();
    *p++ = '\t';
    *p++ = '\t';
    p = FormatFixed6(p, v.x);
    *p++ = ' ';
    p = FormatFixed6(p, v.y);
    *p++ = ' ';
    p = FormatFixed6(p, v.z);
    *p++ = '\r';
    *p++ = '\n';
    out.Commit(p);
}

void AppendFaceLine(CTextBuffer& out, std::uint32_t a, std::uint32_t b, std::uint32_t c,
                    std::uint32_t d, std::string_view tail) {
    char* p = out.Reserve();
    p = WriteText(p, "\t\t4 V(");
    p = WriteUnsigned(p, a);
    *p++ = ' ';
    p = WriteUnsigned(p, b);
    *p++ = ' ';
    p = WriteUnsigned(p, c);
    *p++ = ' ';
    p = WriteUnsigned(p, d);
    p = WriteText(p, tail);
    out.Commit(p);
}

} // namespace

char* FormatFixed6(char* out, float value) {
    const auto bits = std::bit_cast<std::uint32_t>(value);
    const bool negative = (bits >> 31) != 0;
    const auto biased = static_cast<int>((bits >> 23) & 0xffu);
    const std::uint32_t fraction = bits & 0x7fffffu;

    if (biased == 0xff) {
        if (negative) {
            *out++ = '-';
        }
        return WriteText(out, fraction != 0 ? "nan" : "inf");
    }

    // value = mantissa · 2^exponent exactly; units = value · 10^6 rounded to nearest, ties to even.
    const std::uint64_t mantissa = biased == 0 ? fraction : (fraction | 0x800000u);
    const int exponent = biased == 0 ? -149 : biased - 150;
    const std::uint64_t scaled = mantissa * 1000000u; // below 2^44
    std::uint64_t units = 0;
    if (exponent >= 0) {
        if (exponent > 19) {
            // Beyond 2^43 the units no longer fit 64 bits: take the exact conversion of the
            // standard library (never locale-dependent), which rounds the same way.
            return std::to_chars(out, out + kMaxFixedLength, static_cast<double>(value),
                                 std::chars_format::fixed, 6)
                .ptr;
        }
        units = scaled << exponent;
    } else if (exponent >= -63) {
        const int shift = -exponent;
        units = scaled >> shift;
        const std::uint64_t rest = scaled & ((std::uint64_t{1} << shift) - 1);
        const std::uint64_t half = std::uint64_t{1} << (shift - 1);
        if (rest > half || (rest == half && (units & 1u) != 0)) {
            ++units;
        }
    } // else: below 2^-19, far less than half a unit: units stay 0.

    if (negative) {
        *out++ = '-';
    }
    out = WriteUnsigned(out, units / 1000000u);
    *out++ = '.';
    const auto decimals = static_cast<std::uint32_t>(units % 1000000u);
    out = WritePair(out, decimals / 10000u);
    out = WritePair(out, decimals / 100u % 100u);
    return WritePair(out, decimals % 100u);
}

WriteOutcome WriteRoadObject(CByteSink& sink, std::span<const CVector3D> points, int divisions,
                             float halfWidth, const ExportProgress& progress,
                             const CRoadShape* shape) {
    const std::optional<RoadCounts> counts = RoadCountsFor(points.size(), divisions);
    if (!counts) {
        return WriteOutcome::Failed;
    }
    const std::uint64_t samples =
        counts->samples > 0 ? static_cast<std::uint64_t>(counts->samples) : 0;
    const std::uint64_t total = 2 * samples;
    std::uint64_t done = 0;
    auto report = [&]() { return !progress || progress(done, total); };
    if (!report()) {
        return WriteOutcome::Cancelled;
    }

    CTextBuffer out(sink);
    out.Append(kObjectHeader);
    AppendCountLine(out, "\tvertex ", counts->vertices);

    const CRoadSampler sampler(points, divisions, halfWidth, shape);
    const bool shaped = sampler.Shaped();
    const int steps = sampler.StepCount();
    for (std::size_t k = 0; k < sampler.SegmentCount() && steps > 0; ++k) {
        for (int i = 0; i < steps; ++i) {
            const RoadSample sample =
                shaped ? sampler.Frame(k, i).vertices : sampler.PlainSection(k, i);
            for (const CVector3D& v : sample) {
                AppendVertexLine(out, v);
            }
            if (++done % kProgressInterval == 0) {
                if (!out.Ok()) {
                    return WriteOutcome::Failed;
                }
                if (!report()) {
                    return WriteOutcome::Cancelled;
                }
            }
        }
    }

    out.Append("\t}\r\n");
    AppendCountLine(out, "\tface ", counts->faces);
    // Indices are taken modulo V, so the faces of the last sample close the loop onto sample 0.
    const auto vertexCount = static_cast<std::uint32_t>(samples * 4);
    auto wrap = [vertexCount](std::uint64_t index) {
        return static_cast<std::uint32_t>(index >= vertexCount ? index - vertexCount : index);
    };
    for (std::uint64_t j = 0; j < samples; ++j) {
        const std::uint64_t b = 4 * j;
        const std::uint32_t b0 = wrap(b), b1 = wrap(b + 1), b2 = wrap(b + 2), b3 = wrap(b + 3);
        const std::uint32_t b4 = wrap(b + 4), b5 = wrap(b + 5), b6 = wrap(b + 6), b7 = wrap(b + 7);
        AppendFaceLine(out, b0, b1, b5, b4, kSurfaceUV);
        AppendFaceLine(out, b2, b0, b4, b6, kPlusEdgeUV);
        AppendFaceLine(out, b1, b3, b7, b5, kMinusEdgeUV);
        if (++done % kProgressInterval == 0) {
            if (!out.Ok()) {
                return WriteOutcome::Failed;
            }
            if (!report()) {
                return WriteOutcome::Cancelled;
            }
        }
    }
    out.Append("\t}\r\n}\r\n");
    if (!out.Flush()) {
        return WriteOutcome::Failed;
    }
    if (done % kProgressInterval != 0 && !report()) {
        return WriteOutcome::Cancelled;
    }
    return WriteOutcome::Written;
}

WriteOutcome WriteMqoDocument(CByteSink& sink, std::span<const CVector3D> points, int divisions,
                              float halfWidth, const ExportProgress& progress,
                              const CRoadShape* shape) {
    if (!RoadCountsFor(points.size(), divisions)) {
        return WriteOutcome::Failed;
    }
    if (!sink.Write(kHeader.data(), kHeader.size()).ok) {
        return WriteOutcome::Failed;
    }
    const WriteOutcome outcome =
        WriteRoadObject(sink, points, divisions, halfWidth, progress, shape);
    if (outcome != WriteOutcome::Written) {
        return outcome;
    }
    constexpr std::string_view kEof = "Eof\r\n";
    return sink.Write(kEof.data(), kEof.size()).ok ? WriteOutcome::Written : WriteOutcome::Failed;
}

WriteOutcome WriteMqoFile(const std::string& path, std::span<const CVector3D> points, int divisions,
                          float halfWidth, const ExportProgress& progress,
                          const CRoadShape* shape) {
    if (!RoadCountsFor(points.size(), divisions)) {
        return WriteOutcome::Failed;
    }
    CAtomicFile file(path);
    if (!file.Open().ok) {
        return WriteOutcome::Failed;
    }
    CAtomicFileSink sink(file);
    const WriteOutcome outcome =
        WriteMqoDocument(sink, points, divisions, halfWidth, progress, shape);
    if (outcome != WriteOutcome::Written) {
        file.Abandon();
        return outcome;
    }
    return file.Commit().ok ? WriteOutcome::Written : WriteOutcome::Failed;
}

} // namespace rolvet

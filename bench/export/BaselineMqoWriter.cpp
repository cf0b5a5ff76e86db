#include "BaselineMqoWriter.h"

#include "export/CatmullRom.h"

#include <cmath>
#include <cstddef>

namespace rolvet::baseline {

void WriteMqo(std::FILE* f, std::span<const CVector3D> points, int divisions, float halfWidth,
              const VertexSource& vertices) {
    std::fprintf(f, "Metasequoia Document\r\n");
    std::fprintf(f, "Format Text Ver 1.0\r\n\r\n");
    std::fprintf(f, "Scene {\r\n");
    std::fprintf(f, "\tpos 0.0000 0.0000 5000.0000\r\n");
    std::fprintf(f, "\tlookat 0.0000 0.0000 0.0000\r\n");
    std::fprintf(f, "\thead -0.5236\r\n");
    std::fprintf(f, "\tpich 0.5236\r\n");
    std::fprintf(f, "\tortho 0\r\n");
    std::fprintf(f, "\tzoom2 1.2000\r\n");
    std::fprintf(f, "\tamb 0.250 0.250 0.250\r\n");
    std::fprintf(f, "\tdirlights 1 {\r\n");
    std::fprintf(f, "\t\tlight {\r\n");
    std::fprintf(f, "\t\t\tdir 0.408 0.408 0.816\r\n");
    std::fprintf(f, "\t\t\tcolor 1.000 1.000 1.000\r\n");
    std::fprintf(f, "\t\t}\r\n");
    std::fprintf(f, "\t}\r\n");
    std::fprintf(f, "}\r\n");
    std::fprintf(f, "Material 1 {\r\n");
    std::fprintf(f, "\t\"mat1\" shader(3) col(1 1 1 1) dif(0) amb(0) emi(1) spc(0) power(5) "
                    "tex(\"Road.png\")\r\n");
    std::fprintf(f, "}\r\n");

    std::fprintf(f, "Object \"obj1\" {\r\n");
    std::fprintf(f, "\tvisible 15\r\n");
    std::fprintf(f, "\tlocking 0\r\n");
    std::fprintf(f, "\tshading 1\r\n");
    std::fprintf(f, "\tfacet 89.5\r\n");
    std::fprintf(f, "\tcolor 0.898 0.498 0.698\r\n");
    std::fprintf(f, "\tcolor_type 0\r\n");

    const std::size_t n = points.size();
    const long long d = divisions;
    const float fd = static_cast<float>(divisions);
    const float eps = divisions > 0 ? (1.0f / fd) / 1000.0f : 0.0f;
    std::fprintf(f, "\tvertex %lld {\r\n", 4 * static_cast<long long>(n) * d);
    for (std::size_t k = 0; k < n; ++k) {
        const CVector3D& p0 = points[(n + k - 1) % n];
        const CVector3D& p1 = points[k];
        const CVector3D& p2 = points[(k + 1) % n];
        const CVector3D& p3 = points[(k + 2) % n];
        for (int i = 0; i < divisions; ++i) {
            const float t = static_cast<float>(i) / fd;
            const CVector3D c = CatmullRom(p0, p1, p2, p3, t);
            const CVector3D cm = CatmullRom(p0, p1, p2, p3, t - eps);
            const CVector3D cp = CatmullRom(p0, p1, p2, p3, t + eps);
            CVector3D dir = cp - cm;
            const float sum = (dir.x * dir.x + dir.y * dir.y) + dir.z * dir.z;
            float len = std::sqrt(sum);
            if (len == 0.0f) {
                len = 1.0f;
            }
            dir / len;
            const CVector3D nrm(-dir.z, dir.y, dir.x);
            std::array<CVector3D, 4> verts = {c + (nrm * halfWidth) * 0.9f,
                                              c - (nrm * halfWidth) * 0.9f, c + nrm * halfWidth,
                                              c - nrm * halfWidth};
            if (vertices) {
                verts = vertices(k, i);
            }
            for (const CVector3D& v : verts) {
                std::fprintf(f, "\t\t%f %f %f\r\n", static_cast<double>(v.x),
                             static_cast<double>(v.y), static_cast<double>(v.z));
            }
        }
    }
    std::fprintf(f, "\t}\r\n");
    const long long s = static_cast<long long>(n) * d;
    const long long vcount = 4 * s;
    std::fprintf(f, "\tface %lld {\r\n", 3 * s);
    for (long long j = 0; j < s; ++j) {
        const long long b = 4 * j;
        std::fprintf(f, "\t\t4 V(%lld %lld %lld %lld) M(0) UV(0.26 0.26 0.26 1 1 1 1 0.26)\r\n",
                     b % vcount, (b + 1) % vcount, (b + 5) % vcount, (b + 4) % vcount);
        std::fprintf(f, "\t\t4 V(%lld %lld %lld %lld) M(0) UV(0 0.24 0 0 1 0 1 0.24)\r\n",
                     (b + 2) % vcount, b % vcount, (b + 4) % vcount, (b + 6) % vcount);
        std::fprintf(f, "\t\t4 V(%lld %lld %lld %lld) M(0) UV(0 0 0 0.24 1 0.24 1 0)\r\n",
                     (b + 1) % vcount, (b + 3) % vcount, (b + 7) % vcount, (b + 5) % vcount);
    }
    std::fprintf(f, "\t}\r\n");
    std::fprintf(f, "}\r\n");
    std::fprintf(f, "Eof\r\n");
}

} // namespace rolvet::baseline

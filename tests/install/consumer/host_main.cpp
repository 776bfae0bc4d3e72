// A host program outside the source tree that opens plant files through ketra::host: reads a
// PCF text and a model JSON, converts one into the other, and draws a model with the plotter.
#include "host/ModelFile.h"
#include "host/ModelWriter.h"
#include "plotter/Plotter.h"

#include <cstdio>
#include <string>

namespace {

int g_failures = 0;

void Check(bool ok, const char* what) {
    if (!ok) {
        std::fprintf(stderr, "host consumer: FAILED: %s\n", what);
        ++g_failures;
    }
}

const char* kPcf = "UNITS-BORE MM\n"
                   "UNITS-CO-ORDS MM\n"
                   "PIPELINE-REFERENCE L-1\n"
                   "PIPE\n"
                   "    END-POINT 0 0 0 100\n"
                   "    END-POINT 1000 0 0 100\n"
                   "ELBOW\n"
                   "    END-POINT 1000 0 0 100\n"
                   "    END-POINT 1152.4 0 152.4 100\n"
                   "    CENTRE-POINT 1152.4 0 0\n"
                   "PIPE\n"
                   "    END-POINT 1152.4 0 152.4 100\n"
                   "    END-POINT 1152.4 0 1000 100\n"
                   "SUPPORT\n"
                   "    CO-ORDS 500 0 0\n"
                   "    SKEY ANCH\n";

} // namespace

int main() {
    ketra::host::ModelFileResult pcf = ketra::host::ParseModelText(kPcf, "line.pcf");
    Check(pcf.ok, pcf.error.c_str());
    Check(pcf.format == ketra::host::ModelFormat::Pcf, "PCF chosen by content");
    Check(pcf.model.elements.size() == 4, "two pipes split by the anchor, and the elbow");
    Check(pcf.model.anchors.size() == 1, "the anchor");

    ketra::host::ModelFileResult json =
        ketra::host::ParseModelText(ketra::host::WriteModelJson(pcf.model), "line.json");
    Check(json.ok && json.format == ketra::host::ModelFormat::Json, json.error.c_str());
    Check(json.model.elements.size() == pcf.model.elements.size(),
          "the converted model reads back");

    ketra::plotter::Plotter plotter;
    std::string error;
    Check(plotter.Start({}, &error), error.c_str());
    ketra::plotter::PlotStats stats = plotter.Draw(json.model);
    Check(stats.counts[ketra::plotter::Kind::Bends] == 1, "one bend drawn");
    Check(stats.counts[ketra::plotter::Kind::Anchors] == 1, "one anchor drawn");
    Check(stats.hasBox, "something drawn");

    if (g_failures)
        return 1;
    std::printf("host consumer: ok\n");
    return 0;
}

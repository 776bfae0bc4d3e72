#include "results/VtkWriter.h"

#include <gtest/gtest.h>
#include <pugixml.hpp>

#include <cmath>
#include <filesystem>
#include <sstream>
#include <unistd.h>

using namespace ketra::results;

namespace {

std::vector<double> Numbers(const pugi::xml_node& array) {
    std::istringstream in(array.text().get());
    std::vector<double> out;
    std::string word;
    while (in >> word)
        out.push_back(word == "nan" || word == "-nan" ? NAN : std::stod(word));
    return out;
}

pugi::xml_node ArrayNamed(const pugi::xml_node& parent, const std::string& name) {
    return parent.find_child_by_attribute("DataArray", "Name", name.c_str());
}

} // namespace

TEST(VtkWriter, CentreLinesCarryTheCaseAsPointAndCellData) {
    auto model = ketra::host::ParsePipingModel(R"({"units": "in", "origin": [100, 0, 0], "elements": [
        {"from": 10, "to": 20, "delta": [12, 0, 0], "od": 4}, {"from": 20, "to": 30, "delta": [0, 12, 0]}]})",
                                               "m.json");
    ASSERT_TRUE(model.ok) << model.error;
    auto results = ParseResults(R"({"format": "ketra-results/1", "units": {"length": "in", "stress": "psi"},
        "cases": [{"name": "A & B", "kind": "operating", "displacements": [{"node": 30, "d": [0.5, 0, -1]}],
                   "stresses": [{"element": [20, 30], "start": {"stress": -900, "allowable": 1000}, "end": {"stress": 100}}]},
                  {"name": "SUS", "kind": "sustained"}]})",
                                "r.json", model.model);
    ASSERT_TRUE(results.ok) << results.error;

    pugi::xml_document doc;
    ASSERT_TRUE(doc.load_string(VtuText(model.model, results.results, results.results.cases[0]).c_str()));
    pugi::xml_node piece = doc.child("VTKFile").child("UnstructuredGrid").child("Piece");
    EXPECT_STREQ(piece.attribute("NumberOfPoints").value(), "3");
    EXPECT_STREQ(piece.attribute("NumberOfCells").value(), "2");
    // Plant co-ordinates: the model's origin added back.
    EXPECT_EQ(Numbers(ArrayNamed(piece.child("Points"), "position (in)")),
              (std::vector<double>{100, 0, 0, 112, 0, 0, 112, 12, 0}));
    EXPECT_EQ(Numbers(ArrayNamed(piece.child("Cells"), "connectivity")), (std::vector<double>{0, 1, 1, 2}));
    EXPECT_EQ(Numbers(ArrayNamed(piece.child("Cells"), "offsets")), (std::vector<double>{2, 4}));
    EXPECT_EQ(Numbers(ArrayNamed(piece.child("PointData"), "displacement (in)")),
              (std::vector<double>{0, 0, 0, 0, 0, 0, 0.5, 0, -1}));
    const std::vector<double> ratio = Numbers(ArrayNamed(piece.child("CellData"), "ratio"));
    ASSERT_EQ(ratio.size(), 2u);
    EXPECT_TRUE(std::isnan(ratio[0])); // no stresses given for 10-20
    EXPECT_DOUBLE_EQ(ratio[1], 0.9);
    EXPECT_EQ(Numbers(ArrayNamed(piece.child("CellData"), "stress (psi)"))[1], 900);

    // Every case: a collection naming one file per case, each readable.
    const auto dir = std::filesystem::temp_directory_path() / ("ketra-vtk-" + std::to_string(getpid()));
    std::filesystem::create_directories(dir);
    std::string error;
    ASSERT_TRUE(WriteVtk((dir / "all.pvd").string(), model.model, results.results, nullptr, &error)) << error;
    pugi::xml_document pvd;
    ASSERT_TRUE(pvd.load_file((dir / "all.pvd").c_str()));
    std::vector<std::string> names;
    for (pugi::xml_node set : pvd.child("VTKFile").child("Collection").children("DataSet")) {
        names.push_back(set.attribute("name").value());
        pugi::xml_document one;
        EXPECT_TRUE(one.load_file((dir / set.attribute("file").value()).c_str())) << set.attribute("file").value();
    }
    EXPECT_EQ(names, (std::vector<std::string>{"A & B", "SUS"}));
    EXPECT_FALSE(WriteVtk((dir / "missing" / "x.vtu").string(), model.model, results.results, nullptr, &error));
    EXPECT_NE(error.find("missing/x.vtu"), std::string::npos) << error;
    std::filesystem::remove_all(dir);
}

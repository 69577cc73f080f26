// The layers the build keeps: every include of the product code and every library link goes to the
// same or a lower layer of the table in LAYERS.md, every include of another library's file has
// that library linked, every symbol a library needs of another project library comes from one it
// links, and the library graph has no cycle.
#include <gtest/gtest.h>

#include "tests/layers/LayerCheck.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <future>
#include <map>
#include <set>
#include <string>
#include <vector>

#include <unistd.h>

namespace fs = std::filesystem;
using namespace layers;

namespace {

// Lines of a file the build writes for this test.
std::vector<std::string> ReadLines(const fs::path& file)
{
    std::vector<std::string> lines;
    std::ifstream in(file);
    for (std::string line; std::getline(in, line);)
        if (!line.empty())
            lines.push_back(line);
    return lines;
}

class LayerTest : public testing::Test {
protected:
    void SetUp() override
    {
        table = ReadTable(root / "LAYERS.md");
        ASSERT_TRUE(table.problems.empty()) << table.problems.front();
        ASSERT_FALSE(table.libraries.empty()) << "LAYERS.md has no table";
        graph = ReadGraph(fs::path(BEXAL_BINARY_DIR) / "library-graph.txt");
        ASSERT_FALSE(graph.empty()) << "the build wrote no library graph";
    }

    const fs::path root = BEXAL_SOURCE_DIR;
    Table table;
    std::map<std::string, std::set<std::string>> graph;
};

TEST_F(LayerTest, EveryIncludeGoesToItsOwnOrALowerLayerOfALinkedLibrary)
{
    std::vector<fs::path> systemDirs;
    for (const std::string& dir : ReadLines(fs::path(BEXAL_LAYER_INPUTS) / "system-include-dirs.txt"))
        systemDirs.emplace_back(dir);
    ASSERT_FALSE(systemDirs.empty()) << "the build wrote no system include folders";
    for (const std::string& problem : CheckIncludes(root, table, graph, systemDirs))
        ADD_FAILURE() << problem;
}

TEST_F(LayerTest, EveryLibraryNeedsOnlySymbolsOfItselfAndOfTheLibrariesItLinks)
{
    // nm reads the libraries side by side: most of its time is spent waiting on the files.
    std::map<std::string, std::future<std::pair<Symbols, std::vector<std::string>>>> reading;
    for (const std::string& line : ReadLines(fs::path(BEXAL_LAYER_INPUTS) / "product-libraries.txt")) {
        const auto space = line.find(' ');
        ASSERT_NE(space, std::string::npos) << line;
        reading[line.substr(0, space)] = std::async(std::launch::async, [file = line.substr(space + 1)] {
            std::vector<std::string> problems;
            Symbols symbols = ReadSymbols(BEXAL_NM, file, problems);
            return std::make_pair(std::move(symbols), std::move(problems));
        });
    }
    ASSERT_GT(reading.size(), 10u) << "the build listed too few libraries";
    std::map<std::string, Symbols> libraries;
    for (auto& [library, result] : reading) {
        auto [symbols, problems] = result.get();
        for (const std::string& problem : problems)
            ADD_FAILURE() << problem;
        libraries[library] = std::move(symbols);
    }
    for (const std::string& problem : CheckSymbols(libraries, graph, table))
        ADD_FAILURE() << problem;
}

TEST_F(LayerTest, TheLibraryGraphGoesDownTheTableWithoutCycles)
{
    for (const auto& [library, links] : graph) {
        const auto row = table.libraries.find(library);
        if (row == table.libraries.end()) {
            ADD_FAILURE() << "the build's library " << library << " has no row in LAYERS.md";
            continue;
        }
        for (const std::string& link : links) {
            const auto linked = table.libraries.find(link);
            if (linked == table.libraries.end())
                ADD_FAILURE() << library << " links " << link << ", which has no row in LAYERS.md";
            else if (linked->second.layer > row->second.layer)
                ADD_FAILURE() << library << " (layer " << row->second.layer << ") links " << link << " (layer "
                              << linked->second.layer << ")";
        }
    }
    for (const auto& [library, row] : table.libraries)
        EXPECT_TRUE(graph.count(library)) << "LAYERS.md lists " << library << ", which the build does not make";

    // Depth-first search; a link to a library still on the path closes a cycle.
    std::map<std::string, int> state; // 0 unseen, 1 on the path, 2 done
    std::vector<std::string> path;
    std::vector<std::string> cycles;
    std::function<void(const std::string&)> visit = [&](const std::string& library) {
        state[library] = 1;
        path.push_back(library);
        for (const std::string& link : graph[library]) {
            if (state[link] == 1) {
                std::string cycle;
                for (auto it = std::find(path.begin(), path.end(), link); it != path.end(); ++it)
                    cycle += *it + " -> ";
                cycles.push_back(cycle + link);
            } else if (state[link] == 0) {
                visit(link);
            }
        }
        path.pop_back();
        state[library] = 2;
    };
    for (const auto& entry : ReadGraph(fs::path(BEXAL_BINARY_DIR) / "library-graph.txt"))
        if (state[entry.first] == 0)
            visit(entry.first);
    for (const std::string& cycle : cycles)
        ADD_FAILURE() << "library cycle: " << cycle;
}

// The checks themselves, on a table and files made here.
class LayerCheckTest : public testing::Test {
protected:
    void SetUp() override
    {
        fs::create_directories(folder);
        fs::create_directories(system);
        std::ofstream(system / "vector") << "";
        Write("LAYERS.md", "| layer | what | library | paths |\n|---:|---|---|---|\n"
                           "| 1 | core | core | engine/core |\n"
                           "| 3 | interface | face | renderer/Device.h, engine/material/Material.h |\n"
                           "| 4 | engine | engine | engine |\n"
                           "| 5 | renderer | lumora | renderer |\n");
        table = ReadTable(folder / "LAYERS.md");
        ASSERT_TRUE(table.problems.empty());
    }

    void TearDown() override { fs::remove_all(base); }

    void Write(const std::string& name, const std::string& text)
    {
        fs::create_directories((folder / name).parent_path());
        std::ofstream(folder / name) << text;
    }

    const fs::path base = fs::temp_directory_path() / ("layer-check-" + std::to_string(::getpid()));
    const fs::path folder = base / "tree";
    const fs::path system = base / "system";
    Table table;
};

TEST_F(LayerCheckTest, UpwardUnlinkedUnplacedAndForeignIncludesAreNamedWithTheirLine)
{
    Write("engine/core/Vector.h", "#pragma once\n");
    Write("renderer/Device.h", "#include \"engine/core/Vector.h\"\n");
    Write("engine/mesh/Mesh.cpp", "#include \"renderer/Device.h\"\n#include \"engine/core/Vector.h\"\n");
    Write("renderer/Draw.cpp", "#include \"renderer/Device.h\"\n#include <vector>\n");
    Write("engine/core/Up.cpp", "// up\n#include \"engine/mesh/Mesh.cpp\"\n");
    Write("engine/core/Foreign.cpp", "#include \"SDL.h\"\n");
    Write("app/Main.cpp", "int main() {}\n");
    Write("tests/Ignored.cpp", "#include \"renderer/Draw.cpp\"\n");
    // engine links the interface but not the core; the renderer links the interface.
    const std::map<std::string, std::set<std::string>> graph = {
        {"core", {}}, {"face", {"core"}}, {"engine", {"face"}}, {"lumora", {"face", "engine"}}};
    const std::vector<std::string> problems = CheckIncludes(folder, table, graph, {system});
    const std::vector<std::string> expected = {
        "app/Main.cpp: no row of LAYERS.md places this file",
        "engine/core/Foreign.cpp:1: \"SDL.h\" is not a file of the project (include from the root)",
        "engine/core/Up.cpp:2: core (layer 1) includes engine/mesh/Mesh.cpp of engine (layer 4)",
        "engine/mesh/Mesh.cpp:2: engine includes engine/core/Vector.h but does not link core",
        "lumora links engine but includes nothing of it",
    };
    EXPECT_EQ(problems, expected);
}

TEST_F(LayerCheckTest, TheLongestPathPlacesAFile)
{
    const struct {
        const char* file;
        const char* library;
    } cases[] = {
        {"engine/core/Vector.h", "core"},       {"engine/mesh/qMesh.cpp", "engine"},
        {"engine/material/Material.h", "face"}, {"engine/material/VertexLayout.h", "engine"},
        {"renderer/Device.h", "face"},          {"renderer/DeviceDraw.cpp", "lumora"},
        {"renderers/Other.cpp", ""},            {"engine", "engine"},
        {"app/Main.cpp", ""},
    };
    for (const auto& row : cases)
        EXPECT_EQ(LibraryOf(table, row.file), row.library) << row.file;
    EXPECT_EQ(table.libraries.at("face").layer, 3);
}

// Each way of writing an include that reaches up from the core (layer 1) to engine/mesh/Mesh.h
// (layer 4) is named; the harmless look-alikes are not.
TEST_F(LayerCheckTest, EverySpellingOfAnIncludeCounts)
{
    const std::string up = "core (layer 1) includes engine/mesh/Mesh.h of engine (layer 4)";
    const struct {
        const char* file;
        const char* text;
        std::string problem; // "" when the file is accepted
    } cases[] = {
        {"engine/core/Probe.cpp", "#include \"engine/mesh/Mesh.h\"\n", "engine/core/Probe.cpp:1: " + up},
        {"engine/core/Probe.cpp", "#include <engine/mesh/Mesh.h>\n", "engine/core/Probe.cpp:1: " + up},
        {"engine/core/Probe.cpp", "#  include \"engine/mesh/Mesh.h\"\n", "engine/core/Probe.cpp:1: " + up},
        {"engine/core/Probe.cpp", "\n  #\tinclude<engine/mesh/Mesh.h>\n", "engine/core/Probe.cpp:2: " + up},
        {"engine/core/Probe.cpp", "#/* a */include \"engine/mesh/Mesh.h\"\n", "engine/core/Probe.cpp:1: " + up},
        {"engine/core/Probe.cpp", "#include \\\n  \"engine/mesh/Mesh.h\"\n", "engine/core/Probe.cpp:1: " + up},
        {"engine/core/Probe.cpp", "%:include \"engine/mesh/Mesh.h\"\n", "engine/core/Probe.cpp:1: " + up},
        {"engine/core/Probe.cpp", "#include_next <engine/mesh/Mesh.h>\n", "engine/core/Probe.cpp:1: " + up},
        {"engine/core/Probe.cpp", "#import \"engine/mesh/Mesh.h\"\n", "engine/core/Probe.cpp:1: " + up},
        {"engine/core/Probe.cpp", "#include \"engine/core/../mesh/Mesh.h\"\n", "engine/core/Probe.cpp:1: " + up},
        {"engine/core/Probe.cpp", "#include \"../mesh/Mesh.h\"\n", "engine/core/Probe.cpp:1: " + up},
        {"engine/core/Probe.cpp", "#include <./engine//core/../mesh/Mesh.h>\n", "engine/core/Probe.cpp:1: " + up},
        {"engine/core/Probe.cpp", "#include /* a */ <engine/mesh/Mesh.h> // b\n", "engine/core/Probe.cpp:1: " + up},
        {"engine/core/Probe.inl", "#include \"engine/mesh/Mesh.h\"\n", "engine/core/Probe.inl:1: " + up},
        {"engine/core/Probe.hpp", "#include \"engine/mesh/Mesh.h\"\n", "engine/core/Probe.hpp:1: " + up},
        {"engine/core/Probe.ipp", "#include \"engine/mesh/Mesh.h\"\n", "engine/core/Probe.ipp:1: " + up},
        {"engine/core/Probe.tcc", "#include \"engine/mesh/Mesh.h\"\n", "engine/core/Probe.tcc:1: " + up},
        {"engine/core/Probe.cc", "#include \"engine/mesh/Mesh.h\"\n", "engine/core/Probe.cc:1: " + up},
        {"engine/core/Probe.c", "#include \"engine/mesh/Mesh.h\"\n", "engine/core/Probe.c:1: " + up},
        // A file of any name is read once a product file includes it.
        {"engine/core/Probe.cpp", "#include \"engine/core/Parts.txt\"\n", "engine/core/Parts.txt:1: " + up},
        {"engine/core/Probe.cpp", "#include <engine/mesh/Gone.h>\n",
         "engine/core/Probe.cpp:1: <engine/mesh/Gone.h> is neither a file of the project nor a system header"},
        {"engine/core/Probe.cpp", "#include \"../../../etc/hosts\"\n",
         "engine/core/Probe.cpp:1: ../../../etc/hosts leaves the project"},
        {"engine/core/Probe.cpp", "#define PROBE \"engine/mesh/Mesh.h\"\n#include PROBE\n",
         "engine/core/Probe.cpp:2: #include PROBE names its file through a macro, which the layer check cannot follow"},
        // Within the layers, but spelt other than from the root in quotes.
        {"engine/core/Probe.cpp", "#include \"Vector.h\"\n",
         "engine/core/Probe.cpp:1: \"Vector.h\" is engine/core/Vector.h: include it as \"engine/core/Vector.h\""},
        {"engine/core/Probe.cpp", "#include <engine/core/Vector.h>\n",
         "engine/core/Probe.cpp:1: <engine/core/Vector.h> is engine/core/Vector.h: include it as \"engine/core/Vector.h\""},
        // Accepted.
        {"engine/core/Probe.cpp", "#include <vector>\n#include \"engine/core/Vector.h\"\n", ""},
        {"engine/core/Probe.cpp", "// #include \"engine/mesh/Mesh.h\"\n", ""},
        {"engine/core/Probe.cpp", "/*\n#include \"engine/mesh/Mesh.h\"\n*/\n", ""},
        {"engine/core/Probe.cpp", "const char* text = R\"x(\n#include \"engine/mesh/Mesh.h\"\n)x\";\n", ""},
        {"engine/core/Probe.cpp", "int n = 1'0; /*\n#include \"engine/mesh/Mesh.h\"\n*/\n", ""},
        {"engine/core/Probe.cpp", "#includes \"engine/mesh/Mesh.h\"\n#define include \"engine/mesh/Mesh.h\"\n", ""},
    };
    Write("engine/core/Vector.h", "#pragma once\n");
    Write("engine/core/Parts.txt", "#include \"engine/mesh/Mesh.h\"\n");
    Write("engine/mesh/Mesh.h", "#include \"engine/core/Vector.h\"\n#include \"renderer/Device.h\"\n");
    Write("renderer/Device.h", "#include \"engine/core/Vector.h\"\n");
    Write("renderer/Draw.cpp", "#include \"renderer/Device.h\"\n#include \"engine/mesh/Mesh.h\"\n");
    const std::map<std::string, std::set<std::string>> graph = {
        {"core", {}}, {"face", {"core"}}, {"engine", {"face", "core"}}, {"lumora", {"face", "engine"}}};
    for (const auto& row : cases) {
        Write(row.file, row.text);
        const std::vector<std::string> expected = row.problem.empty() ? std::vector<std::string>{}
                                                                       : std::vector<std::string>{row.problem};
        EXPECT_EQ(CheckIncludes(folder, table, graph, {system}), expected) << row.text;
        fs::remove(folder / row.file);
    }
}

// The pair of probe libraries: the core's LowAsksUp.cpp declares and calls HigherAnswer() of the
// engine, whose High.cpp uses LowValue() of the core and getenv of the system.
TEST_F(LayerCheckTest, ALibraryNeedingASymbolOfALibraryItDoesNotLinkIsNamed)
{
    std::vector<std::string> readProblems;
    const std::map<std::string, Symbols> libraries = {
        {"core", ReadSymbols(BEXAL_NM, LAYER_PROBE_LOW, readProblems)},
        {"engine", ReadSymbols(BEXAL_NM, LAYER_PROBE_HIGH, readProblems)},
    };
    ASSERT_EQ(readProblems, std::vector<std::string>{});
    const std::string up =
        "core/LowAsksUp.cpp.o: core (layer 1) needs HigherAnswer(), defined only in engine (layer 4), which it does not link";
    const struct {
        Graph graph;
        std::set<std::string> allowed;
        std::vector<std::string> problems;
    } cases[] = {
        {{{"core", {}}, {"engine", {"core"}}}, {}, {up}},
        {{{"core", {}}, {"engine", {}}},
         {},
         {up, "engine/High.cpp.o: engine (layer 4) needs LowValue(), defined only in core (layer 1), which it does "
              "not link"}},
        {{{"core", {}}, {"engine", {"face"}}, {"face", {"core"}}}, {}, {up}},
        {{{"core", {}}, {"engine", {"core"}}}, {"core/LowAsksUp.cpp.o:HigherAnswer()"}, {}},
        {{{"core", {}}, {"engine", {"core"}}},
         {"core/LowAsksUp.cpp.o:HigherAnswer()", "core/Low.cpp.o:HigherAnswer()"},
         {"allowed core/Low.cpp.o:HigherAnswer() no longer happens: take it off the list"}},
    };
    for (const auto& row : cases)
        EXPECT_EQ(CheckSymbols(libraries, row.graph, table, row.allowed), row.problems)
            << "case " << (&row - cases);
}

TEST_F(LayerCheckTest, AMissingLibraryIsAProblem)
{
    std::vector<std::string> problems;
    ReadSymbols(BEXAL_NM, folder / "libgone.a", problems);
    ASSERT_EQ(problems.size(), 1u);
    EXPECT_EQ(problems[0], (folder / "libgone.a").string() + ": no such library");
}

} // namespace

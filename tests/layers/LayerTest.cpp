// The layers the build keeps: every include of the product code and every library link goes to the
// same or a lower layer of the table in LAYERS.md, every include of another library's file has
// that library linked, and the library graph has no cycle.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include <unistd.h>

namespace fs = std::filesystem;

namespace {

struct Library {
    int layer = 0;
    std::vector<std::string> paths;
};

struct Table {
    std::map<std::string, Library> libraries;
    // Every path of the table with the library it places.
    std::vector<std::pair<std::string, std::string>> places;
    std::vector<std::string> problems;
};

std::string Trim(const std::string& text)
{
    const auto first = text.find_first_not_of(" \t`");
    if (first == std::string::npos)
        return {};
    const auto last = text.find_last_not_of(" \t`");
    return text.substr(first, last - first + 1);
}

std::vector<std::string> SplitOn(const std::string& text, char separator)
{
    std::vector<std::string> parts;
    std::string part;
    std::istringstream stream(text);
    while (std::getline(stream, part, separator))
        parts.push_back(Trim(part));
    return parts;
}

// The rows "| layer | what | library | paths |" whose first cell is a number.
Table ReadTable(const fs::path& file)
{
    Table table;
    std::ifstream in(file);
    if (!in) {
        table.problems.push_back("cannot read " + file.string());
        return table;
    }
    std::string line;
    int number = 0;
    while (std::getline(in, line)) {
        ++number;
        if (line.rfind("| ", 0) != 0)
            continue;
        const std::vector<std::string> cells = SplitOn(line.substr(1), '|');
        if (cells.size() < 4 || cells[0].empty() || !std::isdigit(static_cast<unsigned char>(cells[0][0])))
            continue;
        Library& library = table.libraries[cells[2]];
        if (library.layer != 0)
            table.problems.push_back("LAYERS.md:" + std::to_string(number) + ": " + cells[2] + " is listed twice");
        library.layer = std::stoi(cells[0]);
        for (const std::string& path : SplitOn(cells[3], ',')) {
            library.paths.push_back(path);
            table.places.emplace_back(path, cells[2]);
        }
    }
    return table;
}

// The library whose longest path holds the file, or "" when no path does.
std::string LibraryOf(const Table& table, const std::string& file)
{
    std::string best;
    std::size_t bestLength = 0;
    for (const auto& [path, library] : table.places) {
        const bool holds = file == path || (file.size() > path.size() && file.compare(0, path.size(), path) == 0 &&
                                            file[path.size()] == '/');
        if (holds && path.size() > bestLength) {
            best = library;
            bestLength = path.size();
        }
    }
    return best;
}

// Each library of the build with the libraries it links directly.
std::map<std::string, std::set<std::string>> ReadGraph(const fs::path& file)
{
    std::map<std::string, std::set<std::string>> graph;
    std::ifstream in(file);
    std::string line;
    while (std::getline(in, line)) {
        const auto colon = line.find(':');
        if (colon == std::string::npos)
            continue;
        std::set<std::string>& links = graph[Trim(line.substr(0, colon))];
        for (const std::string& link : SplitOn(line.substr(colon + 1), ' '))
            if (!link.empty())
                links.insert(link);
    }
    return graph;
}

// The source files of the product: everything but the tests, the benchmarks, the tools and build
// folders, relative to the source folder with '/' separators.
std::vector<std::string> ProductFiles(const fs::path& root)
{
    std::vector<std::string> files;
    const std::set<std::string> skipped = {"tests", "bench", "tools"};
    for (auto it = fs::recursive_directory_iterator(root); it != fs::recursive_directory_iterator(); ++it) {
        const fs::path& path = it->path();
        const std::string name = path.filename().string();
        if (it->is_directory()) {
            const bool top = it.depth() == 0;
            if (name.empty() || name[0] == '.' || (top && skipped.count(name)) || fs::exists(path / "CMakeCache.txt"))
                it.disable_recursion_pending();
            continue;
        }
        const std::string extension = path.extension().string();
        if (extension == ".cpp" || extension == ".h")
            files.push_back(fs::relative(path, root).generic_string());
    }
    std::sort(files.begin(), files.end());
    return files;
}

// Every problem of the includes of the product files below root, as "file:line: what".
std::vector<std::string> CheckIncludes(const fs::path& root, const Table& table,
                                       const std::map<std::string, std::set<std::string>>& graph)
{
    std::vector<std::string> problems;
    std::map<std::string, std::set<std::string>> used;
    for (const std::string& file : ProductFiles(root)) {
        const std::string library = LibraryOf(table, file);
        if (library.empty()) {
            problems.push_back(file + ": no row of LAYERS.md places this file");
            continue;
        }
        std::ifstream in(root / file);
        std::string line;
        int number = 0;
        while (std::getline(in, line)) {
            ++number;
            const std::string text = Trim(line);
            if (text.rfind("#include \"", 0) != 0)
                continue;
            const auto end = text.find('"', 10);
            const std::string included = text.substr(10, end == std::string::npos ? std::string::npos : end - 10);
            const std::string where = file + ":" + std::to_string(number) + ": ";
            if (!fs::exists(root / included)) {
                problems.push_back(where + "\"" + included + "\" is not a file of the project (include from the root)");
                continue;
            }
            const std::string target = LibraryOf(table, included);
            if (target.empty()) {
                problems.push_back(where + included + " is placed by no row of LAYERS.md");
                continue;
            }
            if (target == library)
                continue;
            const int from = table.libraries.at(library).layer, to = table.libraries.at(target).layer;
            if (to > from) {
                problems.push_back(where + library + " (layer " + std::to_string(from) + ") includes " + included +
                                   " of " + target + " (layer " + std::to_string(to) + ")");
                continue;
            }
            used[library].insert(target);
            const auto links = graph.find(library);
            if (links == graph.end() || !links->second.count(target))
                problems.push_back(where + library + " includes " + included + " but does not link " + target);
        }
    }
    // A library declares exactly what it uses: a link that no include needs is named too.
    for (const auto& [library, links] : graph)
        for (const std::string& link : links)
            if (!used[library].count(link))
                problems.push_back(library + " links " + link + " but includes nothing of it");
    return problems;
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
    for (const std::string& problem : CheckIncludes(root, table, graph))
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
        Write("LAYERS.md", "| layer | what | library | paths |\n|---:|---|---|---|\n"
                           "| 1 | core | core | engine/core |\n"
                           "| 3 | interface | face | renderer/Device.h, engine/material/Material.h |\n"
                           "| 4 | engine | engine | engine |\n"
                           "| 5 | renderer | lumora | renderer |\n");
        table = ReadTable(folder / "LAYERS.md");
        ASSERT_TRUE(table.problems.empty());
    }

    void TearDown() override { fs::remove_all(folder); }

    void Write(const std::string& name, const std::string& text)
    {
        fs::create_directories((folder / name).parent_path());
        std::ofstream(folder / name) << text;
    }

    const fs::path folder = fs::temp_directory_path() / ("layer-check-" + std::to_string(::getpid()));
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
    const std::vector<std::string> problems = CheckIncludes(folder, table, graph);
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

} // namespace

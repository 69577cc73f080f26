// The checks of the layer test: the table of LAYERS.md, the includes of the product files and the
// symbols of the built libraries, each as a list of problems ("file:line: what").
#pragma once

#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace layers {

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

// Each library of the build with the libraries it links directly.
using Graph = std::map<std::string, std::set<std::string>>;

// The rows "| layer | what | library | paths |" whose first cell is a number.
Table ReadTable(const std::filesystem::path& file);

// The library whose longest path holds the file, or "" when no path does.
std::string LibraryOf(const Table& table, const std::string& file);

Graph ReadGraph(const std::filesystem::path& file);

// The libraries a library links, directly or through others.
std::set<std::string> LibrariesBelow(const Graph& graph, const std::string& library);

// One include directive as the preprocessor sees it: comments and line splices removed, any
// spacing, "#" or "%:", include, include_next or import.
struct Include {
    int line = 0;
    std::string name;    // between the quotes or the angle brackets; the whole operand when computed
    bool angled = false;
    bool computed = false; // a macro names the file: the check cannot follow it
};

std::vector<Include> ReadIncludes(const std::string& text);

// Every problem of the includes of the product files below root, as "file:line: what". Product
// files are the sources of every extension outside tests, bench and tools, and every project file
// they include. An angled include that names no project file must be found in one of systemDirs.
std::vector<std::string> CheckIncludes(const std::filesystem::path& root, const Table& table, const Graph& graph,
                                       const std::vector<std::filesystem::path>& systemDirs = {});

// The external symbols of one static library: what its members define and what each member needs.
struct Symbols {
    std::set<std::string> defined;
    std::map<std::string, std::set<std::string>> undefinedByMember; // member -> mangled names
};

// Reads an archive with nm; problems (a missing file, nm failing) are added to problems.
Symbols ReadSymbols(const std::string& nm, const std::filesystem::path& archive, std::vector<std::string>& problems);

// Every symbol a library needs that a project library defines but neither the library itself nor
// those it links do, as "library/member: needs symbol of other". Entries of allowed
// ("library/member:symbol", symbol demangled) are today's known ones: they are not reported, and
// an entry that no longer happens is, so the list can only shrink.
std::vector<std::string> CheckSymbols(const std::map<std::string, Symbols>& libraries, const Graph& graph,
                                      const Table& table, const std::set<std::string>& allowed = {});

std::string Demangle(const std::string& symbol);

} // namespace layers

#include "tests/layers/LayerCheck.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <fstream>
#include <functional>
#include <memory>
#include <regex>
#include <sstream>

#include <cxxabi.h>
#include <sys/wait.h>

namespace fs = std::filesystem;

namespace layers {
namespace {

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

bool IsIdentifierChar(char c)
{
    return std::isalnum(static_cast<unsigned char>(c)) || c == '_';
}

bool IsRawPrefix(const std::string& token)
{
    return token == "R" || token == "u8R" || token == "uR" || token == "UR" || token == "LR";
}

// A quote after a number's digits separates them (1'000) instead of opening a character.
bool IsNumber(const std::string& token)
{
    return !token.empty() && std::isdigit(static_cast<unsigned char>(token[0]));
}

// Whether the text kept so far ends its line with an include directive's name, so that a '<'
// opens the header's name.
bool OpensHeaderName(const std::string& kept)
{
    static const std::regex directive(R"(^[ \t\v\f\r]*(#|%:)[ \t\v\f\r]*(include|include_next|import)[ \t\v\f\r]*$)");
    const auto lineStart = kept.rfind('\n');
    const std::string line = kept.substr(lineStart == std::string::npos ? 0 : lineStart + 1);
    return line.find_first_of("#%") != std::string::npos && std::regex_match(line, directive);
}

// The text with line splices joined and comments replaced by one space, as the preprocessor sees
// it before directives; lineOf gives the physical line of each character kept.
void Preprocess(const std::string& source, std::string& out, std::vector<int>& lineOf)
{
    std::string joined;
    std::vector<int> joinedLine;
    int line = 1;
    for (std::size_t i = 0; i < source.size(); ++i) {
        if (source[i] == '\\') {
            std::size_t next = i + 1;
            if (next < source.size() && source[next] == '\r')
                ++next;
            if (next < source.size() && source[next] == '\n') {
                i = next;
                ++line;
                continue;
            }
        }
        joined += source[i];
        joinedLine.push_back(line);
        if (source[i] == '\n')
            ++line;
    }

    const auto keep = [&](std::size_t at) {
        out += joined[at];
        lineOf.push_back(joinedLine[at]);
    };
    // The identifier or number that ends just before at.
    const auto tokenBefore = [&](std::size_t at) {
        std::size_t start = at;
        while (start > 0 && (IsIdentifierChar(joined[start - 1]) || joined[start - 1] == '.'))
            --start;
        return joined.substr(start, at - start);
    };
    for (std::size_t i = 0; i < joined.size();) {
        const char c = joined[i];
        const char next = i + 1 < joined.size() ? joined[i + 1] : '\0';
        if (c == '/' && next == '/') {
            while (i < joined.size() && joined[i] != '\n')
                ++i;
        } else if (c == '/' && next == '*') {
            const std::size_t end = joined.find("*/", i + 2);
            out += ' ';
            lineOf.push_back(joinedLine[i]);
            i = end == std::string::npos ? joined.size() : end + 2;
        } else if (c == '<' && OpensHeaderName(out)) {
            // "//" or "/*" inside <...> of an include are part of the file's name.
            while (i < joined.size() && joined[i] != '>' && joined[i] != '\n')
                keep(i++);
        } else if (c == '"' && IsRawPrefix(tokenBefore(i))) {
            // A raw string: its text may hold anything, so it is dropped to an empty literal.
            const std::size_t open = joined.find('(', i);
            const std::string close = ")" + joined.substr(i + 1, open == std::string::npos ? 0 : open - i - 1) + "\"";
            const std::size_t end = open == std::string::npos ? std::string::npos : joined.find(close, open);
            keep(i);
            keep(i);
            i = end == std::string::npos ? joined.size() : end + close.size();
        } else if (c == '"' || (c == '\'' && !IsNumber(tokenBefore(i)))) {
            keep(i++);
            while (i < joined.size() && joined[i] != c && joined[i] != '\n') {
                if (joined[i] == '\\' && i + 1 < joined.size() && joined[i + 1] != '\n')
                    keep(i++);
                keep(i++);
            }
            if (i < joined.size() && joined[i] == c)
                keep(i++);
        } else {
            keep(i++);
        }
    }
}

// A path without "." and ".." segments, or "" when it leaves the folder it is relative to.
std::string Normal(const fs::path& path)
{
    const fs::path normal = path.lexically_normal();
    const std::string text = normal.generic_string();
    if (normal.is_absolute() || text == ".." || text.rfind("../", 0) == 0)
        return {};
    return text;
}

const std::set<std::string>& SourceExtensions()
{
    static const std::set<std::string> extensions = {".c",   ".cc",  ".cpp", ".cxx", ".c++", ".cppm", ".ixx",
                                                     ".h",   ".hh",  ".hpp", ".hxx", ".h++", ".inl",  ".ipp",
                                                     ".tcc", ".tpp", ".inc", ".def"};
    return extensions;
}

bool InSkippedFolder(const std::string& file)
{
    for (const char* folder : {"tests/", "bench/", "tools/"})
        if (file.rfind(folder, 0) == 0)
            return true;
    return false;
}

// The source files of the product: everything but the tests, the benchmarks, the tools and build
// folders, relative to root with '/' separators.
std::vector<std::string> ProductFiles(const fs::path& root)
{
    std::vector<std::string> files;
    for (auto it = fs::recursive_directory_iterator(root); it != fs::recursive_directory_iterator(); ++it) {
        const fs::path& path = it->path();
        const std::string name = path.filename().string();
        if (it->is_directory()) {
            const std::string relative = fs::relative(path, root).generic_string() + "/";
            if (name.empty() || name[0] == '.' || InSkippedFolder(relative) || fs::exists(path / "CMakeCache.txt"))
                it.disable_recursion_pending();
            continue;
        }
        if (SourceExtensions().count(path.extension().string()))
            files.push_back(fs::relative(path, root).generic_string());
    }
    return files;
}

std::string ReadAll(const fs::path& file)
{
    std::ifstream in(file, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// The project file an include names, relative to root, or "" with the problem set. Quotes look
// beside the including file first, then in the root, as the compiler does with the root on its
// include path; angle brackets look in the root only.
std::string ResolveInProject(const fs::path& root, const std::string& file, const Include& include,
                             std::string& problem)
{
    std::vector<fs::path> candidates;
    if (!include.angled)
        candidates.push_back(fs::path(file).parent_path() / include.name);
    candidates.push_back(include.name);
    for (const fs::path& candidate : candidates) {
        const std::string normal = Normal(candidate);
        if (normal.empty()) {
            problem = include.name + " leaves the project";
            return {};
        }
        if (fs::is_regular_file(root / normal))
            return normal;
    }
    return {};
}

} // namespace

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

Graph ReadGraph(const fs::path& file)
{
    Graph graph;
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

std::set<std::string> LibrariesBelow(const Graph& graph, const std::string& library)
{
    std::set<std::string> below;
    std::vector<std::string> pending = {library};
    while (!pending.empty()) {
        const auto links = graph.find(pending.back());
        pending.pop_back();
        if (links == graph.end())
            continue;
        for (const std::string& link : links->second)
            if (below.insert(link).second)
                pending.push_back(link);
    }
    return below;
}

std::vector<Include> ReadIncludes(const std::string& source)
{
    std::string text;
    std::vector<int> lineOf;
    Preprocess(source, text, lineOf);
    std::vector<Include> includes;
    const auto blank = [&](std::size_t at) { return at < text.size() && (text[at] == ' ' || text[at] == '\t' ||
                                                                          text[at] == '\v' || text[at] == '\f' ||
                                                                          text[at] == '\r'); };
    for (std::size_t start = 0; start < text.size();) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        std::size_t at = start;
        while (blank(at))
            ++at;
        std::size_t after = std::string::npos;
        if (at < end && text[at] == '#')
            after = at + 1;
        else if (text.compare(at, 2, "%:") == 0)
            after = at + 2;
        if (after != std::string::npos) {
            at = after;
            while (blank(at))
                ++at;
            std::size_t word = at;
            while (word < end && IsIdentifierChar(text[word]))
                ++word;
            const std::string directive = text.substr(at, word - at);
            if (directive == "include" || directive == "include_next" || directive == "import") {
                at = word;
                while (blank(at))
                    ++at;
                Include include;
                include.line = lineOf[start];
                const char open = at < end ? text[at] : '\0';
                const char close = open == '<' ? '>' : '"';
                const std::size_t closing = open == '<' || open == '"' ? text.find(close, at + 1) : std::string::npos;
                if (closing != std::string::npos && closing < end) {
                    include.name = text.substr(at + 1, closing - at - 1);
                    include.angled = open == '<';
                } else {
                    include.name = Trim(text.substr(at, end - at));
                    include.computed = true;
                }
                includes.push_back(include);
            }
        }
        start = end + 1;
    }
    return includes;
}

std::vector<std::string> CheckIncludes(const fs::path& root, const Table& table, const Graph& graph,
                                       const std::vector<fs::path>& systemDirs)
{
    // The product files and every placed project file they include, each read once.
    std::map<std::string, std::vector<Include>> files;
    std::vector<std::string> pending = ProductFiles(root);
    while (!pending.empty()) {
        const std::string file = pending.back();
        pending.pop_back();
        if (files.count(file))
            continue;
        std::vector<Include>& includes = files[file] = ReadIncludes(ReadAll(root / file));
        for (const Include& include : includes) {
            std::string ignored;
            const std::string target = include.computed ? "" : ResolveInProject(root, file, include, ignored);
            if (!target.empty() && !InSkippedFolder(target) && !LibraryOf(table, target).empty())
                pending.push_back(target);
        }
    }

    std::vector<std::string> problems;
    std::map<std::string, std::set<std::string>> used;
    for (const auto& [file, includes] : files) {
        const std::string library = LibraryOf(table, file);
        if (library.empty()) {
            problems.push_back(file + ": no row of LAYERS.md places this file");
            continue;
        }
        for (const Include& include : includes) {
            const std::string where = file + ":" + std::to_string(include.line) + ": ";
            if (include.computed) {
                problems.push_back(where + "#include " + include.name +
                                   " names its file through a macro, which the layer check cannot follow");
                continue;
            }
            std::string problem;
            const std::string included = ResolveInProject(root, file, include, problem);
            if (!problem.empty()) {
                problems.push_back(where + problem);
                continue;
            }
            if (included.empty()) {
                if (!include.angled)
                    problems.push_back(where + "\"" + include.name +
                                       "\" is not a file of the project (include from the root)");
                else if (std::none_of(systemDirs.begin(), systemDirs.end(),
                                      [&](const fs::path& dir) { return fs::is_regular_file(dir / include.name); }))
                    problems.push_back(where + "<" + include.name + "> is neither a file of the project nor a system header");
                continue;
            }
            const std::string target = LibraryOf(table, included);
            if (target.empty()) {
                problems.push_back(where + included + " is placed by no row of LAYERS.md");
                continue;
            }
            const int from = table.libraries.at(library).layer, to = table.libraries.at(target).layer;
            if (to > from) {
                problems.push_back(where + library + " (layer " + std::to_string(from) + ") includes " + included +
                                   " of " + target + " (layer " + std::to_string(to) + ")");
                continue;
            }
            if (target != library) {
                used[library].insert(target);
                const auto links = graph.find(library);
                if (links == graph.end() || !links->second.count(target)) {
                    problems.push_back(where + library + " includes " + included + " but does not link " + target);
                    continue;
                }
            }
            // One spelling for a project file, so that a reader and a search find every include of it.
            if (include.angled || include.name != included)
                problems.push_back(where + (include.angled ? "<" + include.name + ">" : "\"" + include.name + "\"") +
                                   " is " + included + ": include it as \"" + included + "\"");
        }
    }
    // A library declares exactly what it uses: a link that no include needs is named too.
    for (const auto& [library, links] : graph)
        for (const std::string& link : links)
            if (!used[library].count(link))
                problems.push_back(library + " links " + link + " but includes nothing of it");
    return problems;
}

Symbols ReadSymbols(const std::string& nm, const fs::path& archive, std::vector<std::string>& problems)
{
    Symbols symbols;
    const std::string path = archive.string();
    if (!fs::is_regular_file(archive) || path.find('\'') != std::string::npos) {
        problems.push_back(path + ": no such library");
        return symbols;
    }
    // POSIX output, external symbols only: "name type [value size]", each member after "archive[member]:".
    const std::string command = nm + " -P -g '" + path + "' 2>&1";
    std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(command.c_str(), "r"), pclose);
    if (!pipe) {
        problems.push_back(command + ": cannot start");
        return symbols;
    }
    std::string output;
    char buffer[4096];
    for (std::size_t got; (got = std::fread(buffer, 1, sizeof buffer, pipe.get())) > 0;)
        output.append(buffer, got);
    const int status = pclose(pipe.release());
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        problems.push_back(command + " failed: " + output.substr(0, 500));
        return symbols;
    }
    std::istringstream lines(output);
    std::string line, member;
    while (std::getline(lines, line)) {
        if (line.size() > 2 && line.compare(line.size() - 2, 2, "]:") == 0) {
            const auto open = line.rfind('[');
            member = open == std::string::npos ? line : line.substr(open + 1, line.size() - open - 3);
            continue;
        }
        std::istringstream fields(line);
        std::string name, type;
        if (!(fields >> name >> type) || type.size() != 1)
            continue;
        // Undefined: U, and w/v for weak references; every other type defines the name.
        if (type == "U" || type == "w" || type == "v")
            symbols.undefinedByMember[member].insert(name);
        else
            symbols.defined.insert(name);
    }
    return symbols;
}

std::vector<std::string> CheckSymbols(const std::map<std::string, Symbols>& libraries, const Graph& graph,
                                      const Table& table, const std::set<std::string>& allowed)
{
    const auto named = [&](const std::string& library) {
        const auto row = table.libraries.find(library);
        return row == table.libraries.end() ? library
                                            : library + " (layer " + std::to_string(row->second.layer) + ")";
    };
    std::vector<std::string> problems;
    std::set<std::string> happened;
    for (const auto& [library, symbols] : libraries) {
        std::set<std::string> below = LibrariesBelow(graph, library);
        below.insert(library);
        for (const auto& [member, undefined] : symbols.undefinedByMember) {
            for (const std::string& symbol : undefined) {
                std::string definers;
                bool resolved = false;
                for (const auto& [other, its] : libraries) {
                    if (!its.defined.count(symbol))
                        continue;
                    if (below.count(other)) {
                        resolved = true;
                        break;
                    }
                    definers += (definers.empty() ? "" : ", ") + named(other);
                }
                // Defined by no project library: the system's.
                if (resolved || definers.empty())
                    continue;
                const std::string key = library + "/" + member + ":" + Demangle(symbol);
                if (allowed.count(key)) {
                    happened.insert(key);
                    continue;
                }
                problems.push_back(library + "/" + member + ": " + named(library) + " needs " + Demangle(symbol) +
                                   ", defined only in " + definers + ", which it does not link");
            }
        }
    }
    for (const std::string& key : allowed)
        if (!happened.count(key))
            problems.push_back("allowed " + key + " no longer happens: take it off the list");
    std::sort(problems.begin(), problems.end());
    return problems;
}

std::string Demangle(const std::string& symbol)
{
    int status = 0;
    std::unique_ptr<char, void (*)(void*)> text(abi::__cxa_demangle(symbol.c_str(), nullptr, nullptr, &status),
                                               std::free);
    return status == 0 && text ? std::string(text.get()) : symbol;
}

} // namespace layers

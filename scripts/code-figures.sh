#!/usr/bin/env bash
# Prints the figures of the code's shape for the current checkout: the std::function slots of the
# running level's service tables, the Instance() calls, the mutable globals of the built
# libraries, the functions over 100 lines and the size of MissionState. -v also lists what each
# figure counts. The globals are read from a build folder (default build/, or BEXAL_BUILD_DIR):
# build the libraries first (./scripts/build.sh).
#
# How each figure is counted:
# - slots: std::function data members of the structs and classes, in characters/ and items/
#   headers, whose names end in Hooks, Services, Queries or Session (the tables the running level
#   fills); parameters and type aliases are not slots.
# - Instance() calls: qualified calls `Name::Instance()` in the product sources (every file that
#   LAYERS.md places), comments and strings left out, definitions not counted; "below mission"
#   counts the files of the layers before mission's.
# - mutable globals: data and bss symbols (nm types d, D, b, B, u, V) of the project's libraries
#   (the static libraries of build/library-graph.txt and the objects of the shared ones) whose
#   definition, by the debug line table, lies in the project's own product sources, less
#   constants (a declaration line holding const, constexpr or constinit), vtables, typeinfo,
#   guard variables and the singletons (the statics of an Instance() or SingletonInstance<>(),
#   and a file's pointer named after the class whose Instance() that file defines); one count
#   per name.
# - long functions: function bodies of the product .cpp files, from the line of the opening
#   brace to the line of the closing one, found by brace matching with comments, strings and
#   characters left out; lambdas and local classes count with the function holding them.
# - MissionState: the member declarations of class MissionState in mission/MissionState.h:
#   methods (a parameter list before any initializer; constructors, destructor and operators
#   included) and data members (each declarator of a declaration without one), nested types,
#   class constants and using-declarations left out; and how many .cpp files define its methods.
set -euo pipefail
cd "$(dirname "$0")/.."
exec python3 - "$@" <<'PYTHON'
import os, re, subprocess, sys
from collections import Counter, defaultdict

verbose = "-v" in sys.argv[1:]
root = os.getcwd()
build = os.environ.get("BEXAL_BUILD_DIR", "build")
SOURCE_EXTENSIONS = (".cpp", ".h", ".hpp", ".inl", ".ipp", ".tcc", ".c", ".cc", ".cxx", ".hh")

# ---- the layer table ----
layers = []  # (layer number, library, path)
with open("LAYERS.md", encoding="utf-8") as table:
    for line in table:
        cells = [c.strip() for c in line.strip().strip("|").split("|")]
        if len(cells) == 4 and cells[0].isdigit():
            for path in cells[3].split(","):
                layers.append((int(cells[0]), cells[2], path.strip()))
mission_layer = next(number for number, library, _ in layers if library == "mission")


def placement(path):
    best = None
    for number, library, place in layers:
        if path == place or path.startswith(place.rstrip("/") + "/"):
            if best is None or len(place) > len(best[2]):
                best = (number, library, place)
    return best


product_files = []
for top in sorted({p.split("/")[0] for _, _, p in layers}):
    for folder, _, names in os.walk(top):
        for name in names:
            path = os.path.join(folder, name)
            if name.endswith(SOURCE_EXTENSIONS) and placement(path):
                product_files.append(path)
product_files.sort()


def strip(text):
    """Comments, string and character literals blanked out; newlines kept."""
    out, i, n = [], 0, len(text)
    while i < n:
        c = text[i]
        if text.startswith("//", i):
            j = text.find("\n", i)
            j = n if j < 0 else j
            i = j
        elif text.startswith("/*", i):
            j = text.find("*/", i + 2)
            j = n if j < 0 else j + 2
            out.append("".join(ch if ch == "\n" else " " for ch in text[i:j]))
            i = j
        elif c == 'R' and text.startswith('R"', i) and (i == 0 or not (text[i - 1].isalnum() or text[i - 1] == "_")):
            k = text.find("(", i)
            delimiter = ")" + text[i + 2:k] + '"'
            j = text.find(delimiter, k)
            j = n if j < 0 else j + len(delimiter)
            out.append('""' + "".join("\n" for ch in text[i:j] if ch == "\n"))
            i = j
        elif c in "\"'":
            if c == "'" and i > 0 and text[i - 1].isalnum():  # digit separator 1'000
                out.append(c)
                i += 1
                continue
            j = i + 1
            while j < n and text[j] != c and text[j] != "\n":
                j += 2 if text[j] == "\\" else 1
            out.append(c + c)
            i = j + 1
        else:
            out.append(c)
            i += 1
    return "".join(out)


stripped_cache = {}


def stripped(path):
    if path not in stripped_cache:
        with open(path, encoding="utf-8", errors="replace") as f:
            stripped_cache[path] = strip(f.read())
    return stripped_cache[path]


def class_bodies(text, name_pattern):
    """(class name, body text) of every struct or class whose name matches."""
    for match in re.finditer(r"\b(?:struct|class)\s+(\w+)\s*(?:final\s*)?(?::[^;{]*)?\{", text):
        if not re.fullmatch(name_pattern, match.group(1)):
            continue
        depth, i = 1, match.end()
        while depth and i < len(text):
            depth += {"{": 1, "}": -1}.get(text[i], 0)
            i += 1
        yield match.group(1), text[match.end():i - 1]


def top_level_statements(body):
    """The declarations at the body's own level. A brace after a parameter list (and its
    qualifiers) or after a nested type's head opens a body, whose closing brace ends the
    statement; any other brace is an initializer."""
    statements, current, depth, body_open = [], [], 0, False
    for c in body:
        if c == "{" and depth == 0:
            head = " ".join("".join(current).split())
            body_open = bool(re.search(r"\)\s*(const|override|final|noexcept|volatile|&|\s)*(->[^{]*)?$", head)
                             or re.match(r"(public:|private:|protected:|\s)*(template\s*<.*>\s*)?(struct|class|union|enum)\b", head))
        current.append(c)
        if c in "({[":
            depth += 1
        elif c in ")}]":
            depth -= 1
            if c == "}" and depth == 0 and body_open:
                statements.append("".join(current).strip())
                current, body_open = [], False
        elif c == ";" and depth == 0:
            statements.append("".join(current).strip())
            current = []
    return [s for s in statements if s.strip(" ;")]


def split_top(text, separator):
    parts, depth, current = [], 0, []
    angle = 0
    for c in text:
        if c in "({[":
            depth += 1
        elif c in ")}]":
            depth -= 1
        elif c == "<":
            angle += 1
        elif c == ">":
            angle -= 1
        if c == separator and depth == 0 and angle <= 0:
            parts.append("".join(current))
            current = []
        else:
            current.append(c)
    parts.append("".join(current))
    return parts


def classify(statement):
    """'method', 'data' (with a count), or None for types, access, using, friends..."""
    s = re.sub(r"^(\s*(public|private|protected)\s*:)+", "", statement).strip()
    if not s or re.match(r"(using|typedef|friend|static_assert|template\s*<[^>]*>\s*(struct|class)|struct|class|union|enum)\b", s):
        if not re.match(r"(struct|class|union|enum)\b[^{;]*\{.*\}\s*\w+", s, re.S):
            return None, 0
    if re.match(r"static\s+(constexpr|const)\b", s) and "(" not in s.split("=", 1)[0]:
        return None, 0  # a class constant
    head = s.split("=", 1)[0]
    head = re.sub(r"\{.*", "", head, flags=re.S) if not re.search(r"\)\s*[^;]*\{", head) else head
    # A parameter list outside template arguments, before any initializer: a method.
    depth_angle, i = 0, 0
    plain = re.sub(r"operator\s*(\(\)|[^\s(]+)", "operator", head)
    for c in plain:
        if c == "<":
            depth_angle += 1
        elif c == ">":
            depth_angle -= 1
        elif c == "(" and depth_angle <= 0:
            return "method", 1
    declarators = split_top(re.sub(r"\{[^{}]*\}", "", s.rstrip(";")), ",")
    return "data", len(declarators)


# ---- 1. slots ----
slots = []
for path in product_files:
    if path.endswith((".h", ".hpp")) and path.split("/")[0] in ("characters", "items"):
        for name, body in class_bodies(stripped(path), r"\w*(Hooks|Services|Queries|Session)"):
            for statement in top_level_statements(body):
                s = re.sub(r"^\s*(public|private|protected)\s*:", "", statement).strip()
                if re.match(r"(static\s+)?std::function\s*<", s):
                    member = re.search(r">\s*(\w+)\s*(=|\{|;|$)", s)
                    slots.append((path, name, member.group(1) if member else s))
print(f"std::function slots of the running level's service tables: {len(slots)}")
by_table = Counter((p, n) for p, n, _ in slots)
for (path, name), count in sorted(by_table.items()):
    print(f"  {path} {name}: {count}")
    if verbose:
        print("    " + ", ".join(m for p, n, m in slots if (p, n) == (path, name)))

# ---- 2. Instance() calls ----
calls = Counter()
below = Counter()
call_pattern = re.compile(r"((?:\w+\s*::\s*)*\w+)\s*::\s*Instance\s*\(\s*\)\s*(\{|const\s*\{)?")
for path in product_files:
    for match in call_pattern.finditer(stripped(path)):
        if match.group(2):  # the definition
            continue
        owner = re.sub(r"\s", "", match.group(1))
        calls[owner] += 1
        if placement(path)[0] < mission_layer:
            below[owner] += 1
print(f"Instance() calls, below mission/: {sum(below.values())}"
      f" (Application::Instance() {below.get('Application', 0)}); all product code: {sum(calls.values())}"
      f" (Application::Instance() {calls.get('Application', 0)})")
if verbose:
    for owner, count in calls.most_common():
        print(f"  {owner}::Instance(): {count} ({below.get(owner, 0)} below mission/)")

# ---- 3. mutable globals ----
graph_file = os.path.join(build, "library-graph.txt")
globals_found = {}
if not os.path.exists(graph_file):
    print(f"mutable globals: no {graph_file}; build first")
else:
    libraries = []
    with open(graph_file) as graph:
        for line in graph:
            if ":" in line:
                libraries.append(line.split(":")[0].strip())
    archives, objects = {}, defaultdict(list)
    for folder, _, names in os.walk(build):
        for name in names:
            if name.startswith("lib") and name.endswith(".a"):
                archives.setdefault(name[3:-2], os.path.join(folder, name))
            match = re.search(r"CMakeFiles/([^/]+)\.dir(/|$)", folder)
            if match and name.endswith(".o"):
                objects[match.group(1)].append(os.path.join(folder, name))
    inputs = []
    for library in libraries:
        if library in archives:
            inputs.append((library, [archives[library]]))
        elif objects.get(library):
            inputs.append((library, sorted(objects[library])))
    singleton_files = defaultdict(set)  # file -> lower-cased class names whose Instance() it defines
    for path in product_files:
        for match in re.finditer(r"\b(\w+)\s*::\s*Instance\s*\(\s*\)\s*\{", stripped(path)):
            singleton_files[os.path.realpath(path)].add(match.group(1).lower())
    lines_cache = {}

    def declaration_line(path, number):
        if path not in lines_cache:
            try:
                with open(path, encoding="utf-8", errors="replace") as f:
                    lines_cache[path] = f.read().splitlines()
            except OSError:
                lines_cache[path] = []
        lines = lines_cache[path]
        return lines[number - 1] if 0 < number <= len(lines) else ""

    real_root = os.path.realpath(root)
    for library, files in inputs:
        out = subprocess.run(["nm", "-C", "-l", "--defined-only"] + files, capture_output=True, text=True).stdout
        for line in out.splitlines():
            parts = line.split(None, 2)
            if len(parts) < 3 or parts[1] not in "dDbBuV" or len(parts[1]) != 1:
                continue
            rest = parts[2]
            location = re.search(r"\t(/\S+):(\d+)$", rest)
            name = rest.split("\t")[0].strip()
            if not location:
                continue
            # Objects may come from the compiler cache of another checkout of the same sources:
            # the longest tail of the path that names a product file of this one is the file.
            relative = None
            pieces = os.path.normpath(location.group(1)).split(os.sep)
            for k in range(1, len(pieces)):
                tail = "/".join(pieces[k:])
                if os.path.isfile(tail):
                    relative = tail
                    break
            if not relative or not placement(relative):
                continue  # a library's or the system's
            source = os.path.realpath(relative)
            if re.match(r"(vtable for|typeinfo|guard variable|DW\.ref)", name):
                continue
            if "Instance()::" in name or name.startswith("SingletonInstance<"):
                continue
            simple = re.sub(r".*::", "", name)
            if simple.lower() in singleton_files.get(source, ()):
                continue
            text = declaration_line(source, int(location.group(2)))
            if re.search(r"\b(const|constexpr|constinit)\b", text.split("=")[0]):
                continue
            globals_found.setdefault(name, f"{relative}:{location.group(2)} ({library})")
    print(f"mutable globals of the built libraries: {len(globals_found)}")
    per_folder = Counter(v.split("/")[0] for v in globals_found.values())
    print("  " + ", ".join(f"{folder} {count}" for folder, count in sorted(per_folder.items())))
    if verbose:
        for name, where in sorted(globals_found.items(), key=lambda item: item[1]):
            print(f"  {where}: {name}")

# ---- 4. long functions ----
long_functions = []
for path in product_files:
    if not path.endswith((".cpp", ".cc", ".c")):
        continue
    text = stripped(path)
    # The statement so far at each open brace tells a function body from a namespace, a type or
    # an initializer.
    stack, line, start = [], 1, 0
    for i, c in enumerate(text):
        if c == "\n":
            line += 1
        elif c == "{":
            inside_function = any(kind == "function" for kind, _, _, _ in stack)
            head = text[start:i]
            head_flat = " ".join(head.split())
            if inside_function:
                kind = "block"
            elif re.search(r"\bnamespace\b|extern\s*\"", head_flat):
                kind = "namespace"
            elif re.search(r"\b(class|struct|union|enum)\b", head_flat) and not re.search(r"\)\s*(const|noexcept|override|final|->[^{]*)?\s*$", head_flat):
                kind = "type"
            elif re.search(r"\)[^()]*$", head_flat) and not re.search(r"=\s*$|=\s*\w*\s*$|\breturn\b", head_flat):
                kind = "function"
            else:
                kind = "block"
            name = ""
            if kind == "function":
                # The name before the first parameter list outside an initializer list.
                match = re.search(r"([~\w:<>]+(?:operator\s*\S+)?)\s*\([^)]*\)", head_flat)
                name = match.group(1) if match else head_flat[:40]
            stack.append((kind, line, name, i))
            start = i + 1
        elif c == "}":
            if stack:
                kind, first, name, _ = stack.pop()
                if kind == "function":
                    length = line - first + 1
                    if length > 100:
                        long_functions.append((path, first, name, length))
            start = i + 1
        elif c == ";" or (c == ":" and text[i - 1:i + 1] != "::" and text[i:i + 2] != "::"
                          and re.search(r"\b(public|private|protected)\s*$", text[start:i])):
            start = i + 1
by_folder = Counter(p.split("/")[0] for p, _, _, _ in long_functions)
print(f"functions over 100 lines: {len(long_functions)}")
print("  " + ", ".join(f"{folder} {count}" for folder, count in sorted(by_folder.items())))
if verbose:
    for path, first, name, length in sorted(long_functions, key=lambda f: (f[0].split('/')[0], -f[3])):
        print(f"  {path}:{first} {name}: {length} lines")

# ---- 5. MissionState ----
header = "mission/MissionState.h"
if os.path.exists(header):
    methods, data, names = 0, 0, []
    for name, body in class_bodies(stripped(header), "MissionState"):
        for statement in top_level_statements(body):
            kind, count = classify(statement)
            if kind == "method":
                methods += count
            elif kind == "data":
                data += count
            if verbose and kind:
                names.append(f"{kind}: {' '.join(statement.split())[:100]}")
    defining = [p for p in product_files if p.endswith(".cpp") and re.search(r"\bMissionState::\w+\s*\(", stripped(p))]
    print(f"MissionState: {methods} methods, {data} data members; methods defined in {len(defining)} .cpp files")
    if verbose:
        for entry in names:
            print("  " + entry)
PYTHON

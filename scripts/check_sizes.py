#!/usr/bin/env python3
"""Reports source files over the line limit and functions over the body limit.

Usage: check_sizes.py [--max-lines N] [--max-function N] [DIR...]   (default: src)
Exit status 1 when something is over. A function is a brace block at namespace or class level
whose opening brace follows a parameter list; brace blocks after '=' (data tables) and class,
struct, enum, union and namespace bodies are not functions. The count is the lines from the
function's first line to its closing brace.
"""
import os
import re
import sys

SOURCE_EXT = (".cpp", ".h", ".hpp", ".cc")


def strip(text):
    """Blanks comments, strings and character literals, keeping newlines."""
    out = []
    i, n = 0, len(text)
    while i < n:
        c = text[i]
        if text.startswith("//", i):
            j = text.find("\n", i)
            j = n if j < 0 else j
            i = j
        elif text.startswith("/*", i):
            j = text.find("*/", i + 2)
            j = n if j < 0 else j + 2
            out.append("\n" * text.count("\n", i, j))
            i = j
        elif text.startswith('R"', i) and (i == 0 or not (text[i - 1].isalnum() or text[i - 1] == "_")):
            m = re.match(r'R"([^(\s]*)\(', text[i:])
            if not m:
                out.append(c)
                i += 1
                continue
            end = ")" + m.group(1) + '"'
            j = text.find(end, i + m.end())
            j = n if j < 0 else j + len(end)
            out.append('""' + "\n" * text.count("\n", i, j))
            i = j
        elif c in "\"'":
            if c == "'" and i > 0 and text[i - 1].isalnum():  # digit separator 1'000
                out.append(" ")
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


def functions(text):
    """Yields (name, first line, last line) of function bodies."""
    code = strip(text)
    stack = []  # kinds of open blocks: 'scope' (namespace/class/extern) or 'other'
    depth_fn = None
    start_line = name = None
    line = 1
    last_stmt_start = 0  # index after the last ';', '{' or '}' at the current level
    for i, c in enumerate(code):
        if c == "\n":
            line += 1
        elif c == "{":
            if depth_fn is None:
                head = code[last_stmt_start:i]
                head_flat = " ".join(head.split())
                is_scope = re.search(r"\b(namespace|class|struct|union|enum)\b[^()]*$", head_flat) or \
                    re.search(r'extern\s*""\s*$', head_flat)
                is_data = re.search(r"=\s*$", head_flat) or re.search(r"[=,(\[]\s*$", head_flat) or \
                    (head_flat.rstrip().endswith("]") and "operator" not in head_flat)
                is_func = re.search(r"\)\s*(const|noexcept|override|final|mutable|volatile|&|&&|\s)*"
                                    r"(->\s*[\w:<>,\s*&]+)?\s*(:\s*.*)?$", head_flat) and not is_data
                if is_scope or not is_func:
                    stack.append("scope" if is_scope else "other")
                    if not is_scope:
                        depth_fn = len(stack)
                        start_line = None
                else:
                    stack.append("fn")
                    depth_fn = len(stack)
                    m = re.search(r"([~\w:]+(?:operator\s*\S+)?)\s*\(", head_flat)
                    name = m.group(1) if m else "?"
                    lead = len(head) - len(head.lstrip())
                    start_line = line - code[last_stmt_start + lead:i].count("\n")
            else:
                stack.append("inner")
            last_stmt_start = i + 1
        elif c == "}":
            if stack:
                kind = stack.pop()
                if depth_fn is not None and len(stack) < depth_fn:
                    if kind == "fn" and start_line is not None:
                        yield name, start_line, line
                    depth_fn = None
            last_stmt_start = i + 1
        elif c == ";" and depth_fn is None:
            last_stmt_start = i + 1


def main(argv):
    max_lines, max_fn = 600, 80
    dirs = []
    it = iter(argv)
    for a in it:
        if a == "--max-lines":
            max_lines = int(next(it))
        elif a == "--max-function":
            max_fn = int(next(it))
        else:
            dirs.append(a)
    dirs = dirs or ["src"]
    over = 0
    for d in dirs:
        for root, _, files in os.walk(d):
            for f in sorted(files):
                if not f.endswith(SOURCE_EXT):
                    continue
                path = os.path.join(root, f)
                with open(path, encoding="utf-8", errors="replace") as fh:
                    text = fh.read()
                n = text.count("\n")
                if n > max_lines:
                    print(f"{path}: {n} lines (limit {max_lines})")
                    over += 1
                for name, a, b in functions(text):
                    if b - a + 1 > max_fn:
                        print(f"{path}:{a}: {name}: {b - a + 1} lines (limit {max_fn})")
                        over += 1
    return 1 if over else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))

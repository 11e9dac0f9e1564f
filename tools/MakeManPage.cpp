// Build step: a man page made from a program's own --help (and, for a program with commands, from
// each "COMMAND --help"), so the page says exactly what the program says.
//
//   mw-make-manpage <program> <name> <version> <date> <one-line description> <output.1>
//
// Help texts are read as plain layout: a "Usage:" line and the indented lines under it form the
// synopsis block, lines indented by two blanks with a column gap ("  --opt VALUE   what it does")
// become tagged paragraphs, deeper-indented lines continue the tag above, and other lines are
// running text; a blank line ends a paragraph. A "Commands:" list names the commands to include.
#include <cstdio>
#include <cstring>
#include <fstream>
#include <regex>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

// The program's standard output, or nothing when it could not run or failed.
bool RunProgram(const std::vector<std::string>& argv, std::string& out) {
    int pipeFds[2];
    if (pipe(pipeFds) != 0) return false;
    const pid_t pid = fork();
    if (pid < 0) return false;
    if (pid == 0) {
        dup2(pipeFds[1], STDOUT_FILENO);
        close(pipeFds[0]);
        close(pipeFds[1]);
        std::vector<char*> args;
        for (const std::string& a : argv)
            args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        // No display is needed for --help; keep the desktop program off any screen.
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
        execv(args[0], args.data());
        _exit(127);
    }
    close(pipeFds[1]);
    char buf[4096];
    ssize_t n;
    while ((n = read(pipeFds[0], buf, sizeof buf)) > 0)
        out.append(buf, static_cast<size_t>(n));
    close(pipeFds[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0 && !out.empty();
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}

// Text safe for roff: backslashes and minus signs escaped, no control word at a line's start.
std::string Escape(const std::string& text) {
    std::string out;
    for (char c : text) {
        if (c == '\\')
            out += "\\e";
        else if (c == '-')
            out += "\\-";
        else
            out += c;
    }
    if (!out.empty() && (out[0] == '.' || out[0] == '\'')) out = "\\&" + out;
    return out;
}

std::string Trim(const std::string& s) {
    const size_t a = s.find_first_not_of(' ');
    if (a == std::string::npos) return {};
    return s.substr(a, s.find_last_not_of(' ') - a + 1);
}

size_t Indent(const std::string& s) {
    const size_t a = s.find_first_not_of(' ');
    return a == std::string::npos ? s.size() : a;
}

// One help text as roff.
std::string HelpToRoff(const std::vector<std::string>& lines) {
    static const std::regex Tagged(R"(^  (\S.*?)  +(\S.*)$)");
    static const std::regex TagOnly(R"(^  (-\S.*)$)");
    std::string out, paragraph;
    bool inTag = false;
    size_t tagTextIndent = 0;
    auto flush = [&] {
        if (!paragraph.empty()) out += Escape(paragraph) + "\n";
        paragraph.clear();
    };
    for (size_t i = 0; i < lines.size(); ++i) {
        const std::string& line = lines[i];
        std::smatch m;
        if (Trim(line).empty()) {
            flush();
            inTag = false;
            out += ".PP\n";
        } else if (line.rfind("Usage:", 0) == 0) {
            flush();
            out += ".nf\n" + Escape(line) + "\n";
            while (i + 1 < lines.size() && Indent(lines[i + 1]) > 0 && !Trim(lines[i + 1]).empty())
                out += Escape(lines[++i]) + "\n";
            out += ".fi\n";
        } else if (inTag && Indent(line) >= tagTextIndent && Indent(line) > 2) {
            out += Escape(Trim(line)) + "\n";
        } else if (std::regex_match(line, m, Tagged)) {
            flush();
            out += ".TP\n\\fB" + Escape(m[1].str()) + "\\fR\n" + Escape(m[2].str()) + "\n";
            inTag = true;
            tagTextIndent = static_cast<size_t>(m.position(2));
        } else if (std::regex_match(line, m, TagOnly)) {
            flush();
            out += ".TP\n\\fB" + Escape(m[1].str()) + "\\fR\n";
            inTag = true;
            tagTextIndent = 3;
        } else {
            inTag = false;
            paragraph += (paragraph.empty() ? "" : " ") + Trim(line);
        }
    }
    flush();
    // No empty paragraphs at the ends or twice in a row.
    auto endsInParagraph = [](const std::string& text) {
        return text.size() >= 4 && text.compare(text.size() - 4, 4, ".PP\n") == 0;
    };
    std::string cleaned;
    for (const std::string& l : Lines(out)) {
        if (l == ".PP" && (cleaned.empty() || endsInParagraph(cleaned))) continue;
        cleaned += l + "\n";
    }
    while (endsInParagraph(cleaned))
        cleaned.resize(cleaned.size() - 4);
    return cleaned;
}

std::string Upper(std::string s) {
    for (char& c : s)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return s;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 7) {
        std::fprintf(stderr, "usage: mw-make-manpage PROGRAM NAME VERSION DATE DESCRIPTION OUTPUT\n");
        return 2;
    }
    const std::string program = argv[1], name = argv[2], version = argv[3], date = argv[4], what = argv[5];
    std::string help;
    if (!RunProgram({program, "--help"}, help)) {
        std::fprintf(stderr, "mw-make-manpage: %s --help gave no help\n", program.c_str());
        return 1;
    }
    const std::vector<std::string> lines = Lines(help);

    // The commands listed under "Commands:", each with its own help.
    std::vector<std::string> commands;
    bool inCommands = false;
    for (const std::string& l : lines) {
        if (l == "Commands:") {
            inCommands = true;
        } else if (inCommands && Indent(l) == 2) {
            commands.push_back(Trim(l).substr(0, Trim(l).find(' ')));
        } else if (inCommands) {
            inCommands = !Trim(l).empty();
        }
    }

    std::string page = ".TH " + Upper(name) + " 1 \"" + date + "\" \"" + Escape(name + " " + version) +
                       "\" \"User Commands\"\n";
    page += ".SH NAME\n" + Escape(name) + " \\- " + Escape(what) + "\n";
    page += ".SH DESCRIPTION\n" + HelpToRoff(lines);
    if (!commands.empty()) {
        page += ".SH COMMANDS\n";
        for (const std::string& c : commands) {
            std::string text;
            if (!RunProgram({program, c, "--help"}, text)) {
                std::fprintf(stderr, "mw-make-manpage: %s %s --help gave no help\n", program.c_str(),
                             c.c_str());
                return 1;
            }
            page += ".SS " + Escape(c) + "\n" + HelpToRoff(Lines(text));
        }
    }
    std::ofstream out(argv[6], std::ios::trunc);
    out << page;
    if (!out.flush()) {
        std::fprintf(stderr, "mw-make-manpage: cannot write %s\n", argv[6]);
        return 1;
    }
    return 0;
}

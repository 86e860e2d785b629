// libyaml_emit [options] EVENTFILE
//
// Reference emitter: reads events in the YAML test suite's notation, builds
// the libyaml events from them and lets libyaml emit them; the YAML text goes
// to stdout.  The event-building rules are mirrored exactly by
// build_host_events() in tests/support/eventfmt.py, so the extension's
// emitter can be compared byte for byte with this one.
//
// Options:
//   --canonical  --indent N  --width N  --unicode  --break cr|ln|crln
//   --explicit-start  --explicit-end  --version MAJOR.MINOR
//   --tag HANDLE PREFIX (repeatable)  --encoding utf-8|utf-16-le|utf-16-be
//
// Exit status: 0 on success; 1 for usage, I/O or notation errors; 2 when
// libyaml refuses an event ("!ERROR PROBLEM" on stderr, nothing on stdout).

#include <yaml.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace {

struct Options {
    bool canonical = false;
    std::optional<int> indent;
    std::optional<int> width;
    bool unicode = false;
    std::optional<yaml_break_t> line_break;
    bool explicit_start = false;
    bool explicit_end = false;
    std::optional<yaml_version_directive_t> version;
    std::vector<std::pair<std::string, std::string>> tags;
    yaml_encoding_t encoding = YAML_UTF8_ENCODING;
};

// One line of the notation, split into its parts.
struct Record {
    std::string kind;  // "+STR", "=VAL", ...
    std::optional<std::string> anchor;
    std::optional<std::string> tag;
    char style = 0;    // scalar style char
    std::string value; // unescaped scalar value, or alias name
    bool flow = false;
    bool marker = false;  // "---" on +DOC, "..." on -DOC
};

struct NotationError {
    std::string what;
};

[[noreturn]] void bad_line(size_t lineno, const std::string &why) {
    throw NotationError{"line " + std::to_string(lineno) + ": " + why};
}

std::string unescape(const std::string &text, size_t lineno) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\') {
            out += text[i];
            continue;
        }
        if (++i == text.size()) bad_line(lineno, "dangling backslash");
        switch (text[i]) {
        case '\\': out += '\\'; break;
        case '0': out += '\0'; break;
        case 'b': out += '\b'; break;
        case 'n': out += '\n'; break;
        case 'r': out += '\r'; break;
        case 't': out += '\t'; break;
        default: bad_line(lineno, std::string("unknown escape \\") + text[i]);
        }
    }
    return out;
}

bool is_style(char c) {
    return c == ':' || c == '\'' || c == '"' || c == '|' || c == '>';
}

// Reads " &anchor" and " <tag>" from rest[pos...].  Neither may contain a
// space, except that a tag on a scalar ends at the first "> " that is
// followed by a style char, so a tag such as "<=>" still parses.
void read_props(Record &r, const std::string &rest, size_t &pos, bool scalar,
                size_t lineno) {
    if (pos < rest.size() && rest.compare(pos, 2, " &") == 0) {
        size_t end = rest.find(' ', pos + 2);
        if (end == std::string::npos) end = rest.size();
        r.anchor = rest.substr(pos + 2, end - pos - 2);
        pos = end;
    }
    if (pos < rest.size() && rest.compare(pos, 2, " <") == 0) {
        size_t end;
        if (scalar) {
            end = pos + 2;
            for (;;) {
                end = rest.find("> ", end);
                if (end == std::string::npos) bad_line(lineno, "unterminated tag");
                if (end + 2 < rest.size() && is_style(rest[end + 2])) break;
                ++end;
            }
        } else {
            if (rest.back() != '>') bad_line(lineno, "unterminated tag");
            end = rest.size() - 1;
        }
        r.tag = rest.substr(pos + 2, end - pos - 2);
        pos = end + 1;
    }
}

Record parse_line(const std::string &line, size_t lineno) {
    Record r;
    r.kind = line.substr(0, 4);
    const std::string rest = line.substr(r.kind.size());
    size_t pos = 0;
    if (r.kind == "+STR" || r.kind == "-STR" || r.kind == "-SEQ" || r.kind == "-MAP") {
        if (!rest.empty()) bad_line(lineno, "trailing text");
    } else if (r.kind == "+DOC" || r.kind == "-DOC") {
        const char *mark = r.kind == "+DOC" ? " ---" : " ...";
        if (rest == mark)
            r.marker = true;
        else if (!rest.empty())
            bad_line(lineno, "trailing text");
    } else if (r.kind == "+SEQ" || r.kind == "+MAP") {
        const char *flow = r.kind == "+SEQ" ? " []" : " {}";
        if (rest.compare(0, 3, flow) == 0) {
            r.flow = true;
            pos = 3;
        }
        read_props(r, rest, pos, false, lineno);
        if (pos != rest.size()) bad_line(lineno, "trailing text");
    } else if (r.kind == "=ALI") {
        if (rest.compare(0, 2, " *") != 0) bad_line(lineno, "alias without *name");
        r.value = rest.substr(2);
    } else if (r.kind == "=VAL") {
        read_props(r, rest, pos, true, lineno);
        if (pos + 1 >= rest.size() || rest[pos] != ' ' || !is_style(rest[pos + 1]))
            bad_line(lineno, "scalar without style char");
        r.style = rest[pos + 1];
        r.value = unescape(rest.substr(pos + 2), lineno);
    } else {
        bad_line(lineno, "unknown event '" + r.kind + "'");
    }
    return r;
}

std::vector<Record> read_events(const char *path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw NotationError{std::string("cannot open ") + path};
    std::vector<Record> out;
    std::string line;
    size_t lineno = 0;
    while (std::getline(in, line)) {
        ++lineno;
        if (line.empty()) continue;
        out.push_back(parse_line(line, lineno));
    }
    if (in.bad()) throw NotationError{std::string("cannot read ") + path};
    return out;
}

yaml_scalar_style_t scalar_style(char c) {
    switch (c) {
    case '\'': return YAML_SINGLE_QUOTED_SCALAR_STYLE;
    case '"': return YAML_DOUBLE_QUOTED_SCALAR_STYLE;
    case '|': return YAML_LITERAL_SCALAR_STYLE;
    case '>': return YAML_FOLDED_SCALAR_STYLE;
    default: return YAML_PLAIN_SCALAR_STYLE;
    }
}

// libyaml's initialisers take non-const yaml_char_t pointers but copy the text.
yaml_char_t *chars(const std::optional<std::string> &s) {
    return s ? reinterpret_cast<yaml_char_t *>(const_cast<char *>(s->c_str())) : nullptr;
}

yaml_char_t *chars(const std::string &s) {
    return reinterpret_cast<yaml_char_t *>(const_cast<char *>(s.c_str()));
}

// Fills ev from r; returns libyaml's initialiser result.
int build_event(yaml_event_t &ev, const Record &r, const Options &opt,
                std::vector<yaml_tag_directive_t> &tag_buf) {
    const std::string &k = r.kind;
    if (k == "+STR") return yaml_stream_start_event_initialize(&ev, opt.encoding);
    if (k == "-STR") return yaml_stream_end_event_initialize(&ev);
    if (k == "+DOC") {
        yaml_version_directive_t version{};
        if (opt.version) version = *opt.version;
        tag_buf.clear();
        for (const auto &t : opt.tags)
            tag_buf.push_back({chars(t.first), chars(t.second)});
        yaml_tag_directive_t *start = tag_buf.empty() ? nullptr : tag_buf.data();
        yaml_tag_directive_t *end = start ? start + tag_buf.size() : nullptr;
        int implicit = (r.marker || opt.explicit_start) ? 0 : 1;
        return yaml_document_start_event_initialize(
            &ev, opt.version ? &version : nullptr, start, end, implicit);
    }
    if (k == "-DOC")
        return yaml_document_end_event_initialize(&ev, (r.marker || opt.explicit_end) ? 0 : 1);
    if (k == "=ALI") return yaml_alias_event_initialize(&ev, chars(r.value));
    if (k == "=VAL") {
        // An untagged scalar may be resolved either way; a tagged one (the
        // bare "!" included) is written with its tag.
        int implicit = r.tag ? 0 : 1;
        return yaml_scalar_event_initialize(&ev, chars(r.anchor), chars(r.tag),
                                            chars(r.value), static_cast<int>(r.value.size()),
                                            implicit, implicit, scalar_style(r.style));
    }
    if (k == "+SEQ")
        return yaml_sequence_start_event_initialize(
            &ev, chars(r.anchor), chars(r.tag), r.tag ? 0 : 1,
            r.flow ? YAML_FLOW_SEQUENCE_STYLE : YAML_BLOCK_SEQUENCE_STYLE);
    if (k == "-SEQ") return yaml_sequence_end_event_initialize(&ev);
    if (k == "+MAP")
        return yaml_mapping_start_event_initialize(
            &ev, chars(r.anchor), chars(r.tag), r.tag ? 0 : 1,
            r.flow ? YAML_FLOW_MAPPING_STYLE : YAML_BLOCK_MAPPING_STYLE);
    if (k == "-MAP") return yaml_mapping_end_event_initialize(&ev);
    return 0;
}

int append(void *data, unsigned char *buffer, size_t size) {
    static_cast<std::string *>(data)->append(reinterpret_cast<char *>(buffer), size);
    return 1;
}

struct Emitter {
    yaml_emitter_t e;
    bool ok;
    Emitter() { ok = yaml_emitter_initialize(&e) != 0; }
    ~Emitter() {
        if (ok) yaml_emitter_delete(&e);
    }
    Emitter(const Emitter &) = delete;
    Emitter &operator=(const Emitter &) = delete;
};

int refuse(const std::string &problem) {
    std::fprintf(stderr, "!ERROR %s\n", problem.c_str());
    return 2;
}

int usage() {
    std::fputs(
        "usage: libyaml_emit [--canonical] [--indent N] [--width N] [--unicode]\n"
        "                    [--break cr|ln|crln] [--explicit-start] [--explicit-end]\n"
        "                    [--version MAJOR.MINOR] [--tag HANDLE PREFIX]...\n"
        "                    [--encoding utf-8|utf-16-le|utf-16-be] EVENTFILE\n",
        stderr);
    return 1;
}

bool parse_int(const char *text, int &out) {
    char *end = nullptr;
    long v = std::strtol(text, &end, 10);
    if (end == text || *end) return false;
    out = static_cast<int>(v);
    return true;
}

}  // namespace

int main(int argc, char **argv) {
    Options opt;
    const char *path = nullptr;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        auto next = [&]() -> const char * { return i + 1 < argc ? argv[++i] : nullptr; };
        if (a == "--canonical") {
            opt.canonical = true;
        } else if (a == "--unicode") {
            opt.unicode = true;
        } else if (a == "--explicit-start") {
            opt.explicit_start = true;
        } else if (a == "--explicit-end") {
            opt.explicit_end = true;
        } else if (a == "--indent" || a == "--width") {
            const char *v = next();
            int n;
            if (!v || !parse_int(v, n)) return usage();
            (a == "--indent" ? opt.indent : opt.width) = n;
        } else if (a == "--break") {
            const char *v = next();
            if (!v) return usage();
            const std::string b = v;
            if (b == "cr") opt.line_break = YAML_CR_BREAK;
            else if (b == "ln") opt.line_break = YAML_LN_BREAK;
            else if (b == "crln") opt.line_break = YAML_CRLN_BREAK;
            else return usage();
        } else if (a == "--version") {
            const char *v = next();
            int major, minor;
            if (!v) return usage();
            const char *dot = std::strchr(v, '.');
            if (!dot || !parse_int(std::string(v, dot).c_str(), major) ||
                !parse_int(dot + 1, minor))
                return usage();
            opt.version = yaml_version_directive_t{major, minor};
        } else if (a == "--tag") {
            const char *h = next();
            const char *p = next();
            if (!h || !p) return usage();
            opt.tags.emplace_back(h, p);
        } else if (a == "--encoding") {
            const char *v = next();
            if (!v) return usage();
            const std::string enc = v;
            if (enc == "utf-8") opt.encoding = YAML_UTF8_ENCODING;
            else if (enc == "utf-16-le") opt.encoding = YAML_UTF16LE_ENCODING;
            else if (enc == "utf-16-be") opt.encoding = YAML_UTF16BE_ENCODING;
            else return usage();
        } else if (a.size() > 1 && a[0] == '-') {
            return usage();
        } else if (!path) {
            path = argv[i];
        } else {
            return usage();
        }
    }
    if (!path) return usage();

    std::vector<Record> records;
    try {
        records = read_events(path);
    } catch (const NotationError &err) {
        std::fprintf(stderr, "libyaml_emit: %s: %s\n", path, err.what.c_str());
        return 1;
    }

    std::string output;
    Emitter emitter;
    if (!emitter.ok) return refuse("cannot initialise the emitter");
    yaml_emitter_t *em = &emitter.e;
    yaml_emitter_set_output(em, append, &output);
    if (opt.canonical) yaml_emitter_set_canonical(em, 1);
    if (opt.indent) yaml_emitter_set_indent(em, *opt.indent);
    if (opt.width) yaml_emitter_set_width(em, *opt.width);
    if (opt.unicode) yaml_emitter_set_unicode(em, 1);
    if (opt.line_break) yaml_emitter_set_break(em, *opt.line_break);

    std::vector<yaml_tag_directive_t> tag_buf;
    for (const Record &r : records) {
        yaml_event_t ev;
        if (!build_event(ev, r, opt, tag_buf))
            return refuse("libyaml cannot build the " + r.kind + " event");
        // The emitter owns ev from here on, also when it fails.
        if (!yaml_emitter_emit(em, &ev))
            return refuse(em->problem ? em->problem : "emitter failed");
    }
    if (!yaml_emitter_flush(em)) return refuse(em->problem ? em->problem : "flush failed");

    if (std::fwrite(output.data(), 1, output.size(), stdout) != output.size() ||
        std::fflush(stdout) != 0)
        return 1;
    return 0;
}

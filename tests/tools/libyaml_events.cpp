// libyaml_events [--tokens] FILE
//
// Reference dump of what libyaml itself makes of FILE: its events in the
// YAML test suite's event notation, or (with --tokens) its tokens, one per
// line.  A failure ends the dump with one line
//     !ERROR KIND LOCATION PROBLEM
// (KIND reader/scanner/parser, LOCATION "@offset" for reader errors and
// "line:column" of the problem mark otherwise; "!ERROR memory" alone when
// libyaml ran out of memory).  The Python helper tests/support/eventfmt.py
// writes the same lines for the extension, so the two can be diffed.
//
// Exit status: 0 whether or not the YAML was valid, 1 for usage or I/O errors.

#include <yaml.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>

namespace {

// Escapes a scalar value the way the suite's notation does; everything not
// listed goes out as raw bytes.
std::string escape(const yaml_char_t *text, size_t length) {
    std::string out;
    out.reserve(length);
    for (size_t i = 0; i < length; ++i) {
        char c = static_cast<char>(text[i]);
        switch (c) {
        case '\\': out += "\\\\"; break;
        case '\0': out += "\\0"; break;
        case '\b': out += "\\b"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        default: out += c; break;
        }
    }
    return out;
}

// Null-safe view of a libyaml string.
std::string str(const yaml_char_t *text) {
    return text ? std::string(reinterpret_cast<const char *>(text)) : std::string();
}

char style_char(yaml_scalar_style_t style) {
    switch (style) {
    case YAML_PLAIN_SCALAR_STYLE: return ':';
    case YAML_SINGLE_QUOTED_SCALAR_STYLE: return '\'';
    case YAML_DOUBLE_QUOTED_SCALAR_STYLE: return '"';
    case YAML_LITERAL_SCALAR_STYLE: return '|';
    case YAML_FOLDED_SCALAR_STYLE: return '>';
    default: return '?';  // libyaml never reports "any" for parsed scalars
    }
}

// " &anchor" and " <tag>" in the order the notation wants them.
std::string props(const yaml_char_t *anchor, const yaml_char_t *tag) {
    std::string out;
    if (anchor) out += " &" + str(anchor);
    if (tag) out += " <" + str(tag) + ">";
    return out;
}

std::string event_line(const yaml_event_t &ev) {
    switch (ev.type) {
    case YAML_STREAM_START_EVENT: return "+STR";
    case YAML_STREAM_END_EVENT: return "-STR";
    case YAML_DOCUMENT_START_EVENT:
        // Directives have no line of their own in the notation.
        return ev.data.document_start.implicit ? "+DOC" : "+DOC ---";
    case YAML_DOCUMENT_END_EVENT:
        return ev.data.document_end.implicit ? "-DOC" : "-DOC ...";
    case YAML_ALIAS_EVENT:
        return "=ALI *" + str(ev.data.alias.anchor);
    case YAML_SCALAR_EVENT: {
        const auto &s = ev.data.scalar;
        return "=VAL" + props(s.anchor, s.tag) + " " + style_char(s.style) +
               escape(s.value, s.length);
    }
    case YAML_SEQUENCE_START_EVENT: {
        const auto &s = ev.data.sequence_start;
        std::string line = "+SEQ";
        if (s.style == YAML_FLOW_SEQUENCE_STYLE) line += " []";
        return line + props(s.anchor, s.tag);
    }
    case YAML_SEQUENCE_END_EVENT: return "-SEQ";
    case YAML_MAPPING_START_EVENT: {
        const auto &m = ev.data.mapping_start;
        std::string line = "+MAP";
        if (m.style == YAML_FLOW_MAPPING_STYLE) line += " {}";
        return line + props(m.anchor, m.tag);
    }
    case YAML_MAPPING_END_EVENT: return "-MAP";
    default: return "?EVENT";
    }
}

std::string mark(const yaml_mark_t &m) {
    return std::to_string(m.line) + ":" + std::to_string(m.column);
}

std::string token_line(const yaml_token_t &tok) {
    std::string at = " " + mark(tok.start_mark);
    switch (tok.type) {
    case YAML_STREAM_START_TOKEN: return "STREAM-START" + at;
    case YAML_STREAM_END_TOKEN: return "STREAM-END" + at;
    case YAML_VERSION_DIRECTIVE_TOKEN: return "VERSION-DIRECTIVE" + at;
    case YAML_TAG_DIRECTIVE_TOKEN: return "TAG-DIRECTIVE" + at;
    case YAML_DOCUMENT_START_TOKEN: return "DOCUMENT-START" + at;
    case YAML_DOCUMENT_END_TOKEN: return "DOCUMENT-END" + at;
    case YAML_BLOCK_SEQUENCE_START_TOKEN: return "BLOCK-SEQUENCE-START" + at;
    case YAML_BLOCK_MAPPING_START_TOKEN: return "BLOCK-MAPPING-START" + at;
    case YAML_BLOCK_END_TOKEN: return "BLOCK-END" + at;
    case YAML_FLOW_SEQUENCE_START_TOKEN: return "FLOW-SEQUENCE-START" + at;
    case YAML_FLOW_SEQUENCE_END_TOKEN: return "FLOW-SEQUENCE-END" + at;
    case YAML_FLOW_MAPPING_START_TOKEN: return "FLOW-MAPPING-START" + at;
    case YAML_FLOW_MAPPING_END_TOKEN: return "FLOW-MAPPING-END" + at;
    case YAML_BLOCK_ENTRY_TOKEN: return "BLOCK-ENTRY" + at;
    case YAML_FLOW_ENTRY_TOKEN: return "FLOW-ENTRY" + at;
    case YAML_KEY_TOKEN: return "KEY" + at;
    case YAML_VALUE_TOKEN: return "VALUE" + at;
    case YAML_ALIAS_TOKEN: return "ALIAS" + at + " " + str(tok.data.alias.value);
    case YAML_ANCHOR_TOKEN: return "ANCHOR" + at + " " + str(tok.data.anchor.value);
    case YAML_TAG_TOKEN:
        return "TAG" + at + " " + str(tok.data.tag.handle) + " " + str(tok.data.tag.suffix);
    case YAML_SCALAR_TOKEN:
        return "SCALAR" + at + " " + style_char(tok.data.scalar.style) +
               escape(tok.data.scalar.value, tok.data.scalar.length);
    default: return "?TOKEN" + at;
    }
}

std::string error_line(const yaml_parser_t &p) {
    const std::string problem = p.problem ? p.problem : "";
    switch (p.error) {
    case YAML_MEMORY_ERROR: return "!ERROR memory";
    case YAML_READER_ERROR:
        return "!ERROR reader @" + std::to_string(p.problem_offset) + " " + problem;
    case YAML_SCANNER_ERROR:
        return "!ERROR scanner " + mark(p.problem_mark) + " " + problem;
    case YAML_PARSER_ERROR:
        return "!ERROR parser " + mark(p.problem_mark) + " " + problem;
    default: return "!ERROR unknown " + problem;
    }
}

struct Parser {
    yaml_parser_t p;
    bool ok;
    Parser() { ok = yaml_parser_initialize(&p) != 0; }
    ~Parser() {
        if (ok) yaml_parser_delete(&p);
    }
    Parser(const Parser &) = delete;
    Parser &operator=(const Parser &) = delete;
};

struct Event {
    yaml_event_t e{};
    ~Event() { yaml_event_delete(&e); }
};

struct Token {
    yaml_token_t t{};
    ~Token() { yaml_token_delete(&t); }
};

void put(const std::string &line) {
    std::fwrite(line.data(), 1, line.size(), stdout);
    std::fputc('\n', stdout);
}

void dump_events(yaml_parser_t &p) {
    for (;;) {
        Event ev;
        if (!yaml_parser_parse(&p, &ev.e)) {
            put(error_line(p));
            return;
        }
        // NO_EVENT after the stream end; printing "-STR" ends the loop first.
        if (ev.e.type == YAML_NO_EVENT) return;
        put(event_line(ev.e));
        if (ev.e.type == YAML_STREAM_END_EVENT) return;
    }
}

void dump_tokens(yaml_parser_t &p) {
    for (;;) {
        Token tok;
        if (!yaml_parser_scan(&p, &tok.t)) {
            put(error_line(p));
            return;
        }
        if (tok.t.type == YAML_NO_TOKEN) return;
        put(token_line(tok.t));
        if (tok.t.type == YAML_STREAM_END_TOKEN) return;
    }
}

int usage() {
    std::fputs("usage: libyaml_events [--tokens] FILE\n", stderr);
    return 1;
}

}  // namespace

int main(int argc, char **argv) {
    bool tokens = false;
    const char *path = nullptr;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--tokens") == 0) {
            tokens = true;
        } else if (!path) {
            path = argv[i];
        } else {
            return usage();
        }
    }
    if (!path) return usage();

    std::ifstream in(path, std::ios::binary);
    if (!in) {
        std::fprintf(stderr, "libyaml_events: cannot open %s\n", path);
        return 1;
    }
    // The buffer must outlive the parser, which reads it in place.
    const std::string data((std::istreambuf_iterator<char>(in)),
                           std::istreambuf_iterator<char>());
    if (in.bad()) {
        std::fprintf(stderr, "libyaml_events: cannot read %s\n", path);
        return 1;
    }

    Parser parser;
    if (!parser.ok) {
        put("!ERROR memory");
        return 0;
    }
    yaml_parser_set_input_string(&parser.p,
                                 reinterpret_cast<const unsigned char *>(data.data()),
                                 data.size());
    if (tokens)
        dump_tokens(parser.p);
    else
        dump_events(parser.p);
    return std::fflush(stdout) == 0 ? 0 : 1;
}

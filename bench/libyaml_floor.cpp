// The floor for any binding: libyaml alone, in-process, over one file held
// in memory.
//
//   libyaml_floor FILE [RUNS [MODE,...]]
//
// Times, RUNS times each (default 5), every mode or those named:
//   scan         yaml_parser_scan over the whole input (tokens only);
//   parse        yaml_parser_parse over the whole input (events only);
//   parse_read   the same, pulling the input through a read handler in
//                64 KiB chunks (what a file object costs libyaml itself);
//   parse_emit   every parsed event handed straight to yaml_emitter_emit,
//                output appended to a memory buffer;
//   emit         the same events, parsed beforehand (not timed), emitted to
//                a memory buffer: libyaml's own emit time for them.
// Prints one JSON object: sizes, counts and the list of seconds per mode
// timed.
#include <yaml.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

struct Input {
    std::string data;
};

bool read_file(const char* path, std::string& out) {
    FILE* f = std::fopen(path, "rb");
    if (!f) return false;
    char buf[1 << 16];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) out.append(buf, n);
    bool ok = !std::ferror(f);
    std::fclose(f);
    return ok;
}

[[noreturn]] void fail(const char* what, const yaml_parser_t* p) {
    std::fprintf(stderr, "libyaml_floor: %s failed: %s (line %zu)\n", what,
                 p && p->problem ? p->problem : "?", p ? p->problem_mark.line + 1 : 0);
    std::exit(2);
}

// Memory read handler: hands out the input in chunks of at most 64 KiB.
struct Reader {
    const std::string* data;
    size_t offset;
};

int read_handler(void* ctx, unsigned char* buffer, size_t size, size_t* size_read) {
    Reader* r = static_cast<Reader*>(ctx);
    size_t left = r->data->size() - r->offset;
    size_t n = std::min({left, size, size_t{1} << 16});
    std::memcpy(buffer, r->data->data() + r->offset, n);
    r->offset += n;
    *size_read = n;
    return 1;
}

int write_handler(void* ctx, unsigned char* buffer, size_t size) {
    static_cast<std::string*>(ctx)->append(reinterpret_cast<const char*>(buffer), size);
    return 1;
}

size_t run_scan(const std::string& in) {
    yaml_parser_t parser;
    if (!yaml_parser_initialize(&parser)) fail("initialize", nullptr);
    yaml_parser_set_input_string(&parser, reinterpret_cast<const unsigned char*>(in.data()), in.size());
    size_t count = 0;
    for (;;) {
        yaml_token_t token;
        if (!yaml_parser_scan(&parser, &token)) fail("scan", &parser);
        yaml_token_type_t type = token.type;
        yaml_token_delete(&token);
        if (type == YAML_NO_TOKEN) break;
        ++count;
    }
    yaml_parser_delete(&parser);
    return count;
}

size_t run_parse(const std::string& in, bool through_reader, std::string* emitted) {
    yaml_parser_t parser;
    if (!yaml_parser_initialize(&parser)) fail("initialize", nullptr);
    Reader reader{&in, 0};
    if (through_reader) {
        yaml_parser_set_input(&parser, read_handler, &reader);
    } else {
        yaml_parser_set_input_string(&parser, reinterpret_cast<const unsigned char*>(in.data()), in.size());
    }
    yaml_emitter_t emitter;
    if (emitted) {
        if (!yaml_emitter_initialize(&emitter)) fail("emitter initialize", nullptr);
        yaml_emitter_set_output(&emitter, write_handler, emitted);
    }
    size_t count = 0;
    for (;;) {
        yaml_event_t event;
        if (!yaml_parser_parse(&parser, &event)) fail("parse", &parser);
        yaml_event_type_t type = event.type;
        if (type == YAML_NO_EVENT) {
            yaml_event_delete(&event);
            break;
        }
        ++count;
        if (emitted) {
            // The emitter takes the event over, on success and failure alike.
            if (!yaml_emitter_emit(&emitter, &event)) {
                std::fprintf(stderr, "libyaml_floor: emit failed: %s\n",
                             emitter.problem ? emitter.problem : "?");
                std::exit(2);
            }
        } else {
            yaml_event_delete(&event);
        }
    }
    if (emitted) yaml_emitter_delete(&emitter);
    yaml_parser_delete(&parser);
    return count;
}

// Parses the whole input into `events` (owned by the caller).
void parse_all(const std::string& in, std::vector<yaml_event_t>& events) {
    yaml_parser_t parser;
    if (!yaml_parser_initialize(&parser)) fail("initialize", nullptr);
    yaml_parser_set_input_string(&parser, reinterpret_cast<const unsigned char*>(in.data()), in.size());
    for (;;) {
        yaml_event_t event;
        if (!yaml_parser_parse(&parser, &event)) fail("parse", &parser);
        if (event.type == YAML_NO_EVENT) {
            yaml_event_delete(&event);
            break;
        }
        events.push_back(event);
    }
    yaml_parser_delete(&parser);
}

// Emits (and so consumes) every event of `events`.
void emit_all(std::vector<yaml_event_t>& events, std::string& sink) {
    yaml_emitter_t emitter;
    if (!yaml_emitter_initialize(&emitter)) fail("emitter initialize", nullptr);
    yaml_emitter_set_output(&emitter, write_handler, &sink);
    size_t i = 0;
    for (; i < events.size(); ++i) {
        if (!yaml_emitter_emit(&emitter, &events[i])) {
            std::fprintf(stderr, "libyaml_floor: emit failed: %s\n", emitter.problem ? emitter.problem : "?");
            std::exit(2);
        }
    }
    events.clear();
    yaml_emitter_delete(&emitter);
}

template <class F>
std::vector<double> time_runs(int runs, F fn) {
    std::vector<double> seconds;
    for (int i = 0; i < runs; ++i) {
        auto start = Clock::now();
        fn();
        seconds.push_back(std::chrono::duration<double>(Clock::now() - start).count());
    }
    return seconds;
}

void print_list(const char* key, const std::vector<double>& v) {
    std::printf(",\n  \"%s\": [", key);
    for (size_t i = 0; i < v.size(); ++i) std::printf("%s%.9f", i ? ", " : "", v[i]);
    std::printf("]");
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2 || argc > 4) {
        std::fprintf(stderr, "usage: %s FILE [RUNS [scan,parse,parse_read,parse_emit,emit]]\n", argv[0]);
        return 2;
    }
    int runs = argc >= 3 ? std::atoi(argv[2]) : 5;
    if (runs < 1) runs = 1;
    std::string modes = argc == 4 ? std::string(",") + argv[3] + "," : ",scan,parse,parse_read,parse_emit,emit,";
    auto wanted = [&](const char* mode) { return modes.find(std::string(",") + mode + ",") != std::string::npos; };
    std::string in;
    if (!read_file(argv[1], in)) {
        std::perror(argv[1]);
        return 2;
    }
    size_t tokens = run_scan(in);
    std::string out;
    size_t events = run_parse(in, false, &out);
    size_t out_bytes = out.size();

    std::printf("{\n  \"bytes\": %zu,\n  \"tokens\": %zu,\n  \"events\": %zu,\n  \"emitted_bytes\": %zu",
                in.size(), tokens, events, out_bytes);
    if (wanted("scan")) print_list("scan", time_runs(runs, [&] { run_scan(in); }));
    if (wanted("parse")) print_list("parse", time_runs(runs, [&] { run_parse(in, false, nullptr); }));
    if (wanted("parse_read")) print_list("parse_read", time_runs(runs, [&] { run_parse(in, true, nullptr); }));
    if (wanted("parse_emit")) {
        print_list("parse_emit", time_runs(runs, [&] {
                       std::string sink;
                       sink.reserve(out_bytes);
                       run_parse(in, false, &sink);
                   }));
    }
    if (wanted("emit")) {
        std::vector<double> emit;
        for (int i = 0; i < runs; ++i) {
            std::vector<yaml_event_t> parsed;
            parsed.reserve(events);
            parse_all(in, parsed);
            std::string sink;
            sink.reserve(out_bytes);
            auto start = Clock::now();
            emit_all(parsed, sink);
            emit.push_back(std::chrono::duration<double>(Clock::now() - start).count());
        }
        print_list("emit", emit);
    }
    std::printf("\n}\n");
    return 0;
}

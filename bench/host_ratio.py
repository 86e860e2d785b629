"""Wall-clock ratios of load and dump through the host package to json on
the same data, measured in the same run.

    PYTHONPATH=. python3 -P bench/host_ratio.py CORPUS_DIR [KIND ...]

CORPUS_DIR holds KIND.yaml and KIND.json as bench/gen_corpus.py writes
them (default kinds: records config). Each operation runs RUNS times; the
median and the best time are printed with their ratios.
"""

import json
import os
import sys
import time

RUNS = 5


def timed(function):
    times = []
    for _ in range(RUNS):
        start = time.perf_counter()
        function()
        times.append(time.perf_counter() - start)
    times.sort()
    return times[len(times) // 2], times[0]


def main(argv):
    if not argv:
        raise SystemExit(__doc__)
    import yaml
    here = os.path.dirname(os.path.dirname(os.path.realpath(__file__)))
    for module in (yaml, yaml._yaml):
        if not os.path.realpath(module.__file__).startswith(here):
            raise SystemExit("imported %s, not this project's package" % module.__file__)
    directory, kinds = argv[0], argv[1:] or ["records", "config"]
    for kind in kinds:
        with open(os.path.join(directory, kind + ".yaml"), encoding="utf-8") as f:
            text = f.read()
        with open(os.path.join(directory, kind + ".json"), encoding="utf-8") as f:
            json_text = f.read()
        data, json_data = list(yaml.safe_load_all(text)), json.loads(json_text)
        jl = timed(lambda: json.loads(json_text))
        yl = timed(lambda: list(yaml.safe_load_all(text)))
        jd = timed(lambda: json.dumps(json_data))
        yd = timed(lambda: yaml.safe_dump_all(data))
        print("%s: json.loads %.4f s, load_all %.4f s, x%.1f (best x%.1f) | "
              "json.dumps %.4f s, dump_all %.4f s, x%.1f (best x%.1f)" % (
                  kind, jl[0], yl[0], yl[0] / jl[0], yl[1] / jl[1],
                  jd[0], yd[0], yd[0] / jd[0], yd[1] / jd[1]))


if __name__ == "__main__":
    main(sys.argv[1:])

#!/usr/bin/env python3
"""Plants realistic faults in the product one at a time and reports which
tests catch each one.

    scripts/plant-faults.py FAULTS [--build DIR] [--only ID,ID] [--out FILE] [--first]
    scripts/plant-faults.py FAULTS --check


FAULTS holds one block per fault:

    ## ID what the fault does                          (a line of its own)
    file: path/from/the/top
    - text that must stand exactly once in the file   (one or more lines)
    + what replaces it                                 (zero or more lines)

Each fault is applied to the working tree, the build directory is rebuilt,
`ctest` runs the whole suite, and the file is put back as it was. A fault
whose build fails is reported as "does not build". The report is a Markdown
table: fault, the test programs that failed, and the failing test functions.
With --first the suite stops at the first failing program, which tells
whether a fault is caught, and by one test, in less time.
With --check nothing is built or changed: each entry is only read against
the tree, and every entry that could not be planted is listed (exit status 1).

Run it in a work tree of its own: it edits the files it plants faults in.
A build directory configured with -DZELQON_BENCH=OFF rebuilds faster.
"""
import argparse
import pathlib
import re
import subprocess
import sys
import time

TOP = pathlib.Path(__file__).resolve().parent.parent


def parse(path):
    faults, current, side = [], None, None
    for raw in pathlib.Path(path).read_text().splitlines():
        if raw.startswith('## '):
            ident, _, what = raw[3:].partition(' ')
            current = {'id': ident, 'what': what.strip(), 'file': None, 'old': [], 'new': []}
            faults.append(current)
        elif current is None or raw.startswith('#') or not raw.strip():
            continue
        elif raw.startswith('file: '):
            current['file'] = raw[6:].strip()
        elif raw.startswith('- ') or raw == '-':
            current['old'].append(raw[2:])
        elif raw.startswith('+ ') or raw == '+':
            current['new'].append(raw[2:])
        else:
            sys.exit(f'{path}: cannot read line: {raw!r}')
    return faults


def problems(fault):
    """Why the fault could not be planted as written; empty when it can."""
    if not fault['file']:
        return ['no "file:" line']
    path = TOP / fault['file']
    if not path.is_file():
        return ['%s does not exist' % fault['file']]
    if not fault['old']:
        return ['no "- " text']
    if fault['old'] == fault['new']:
        return ['the "+ " text is the "- " text: nothing would change']
    count = path.read_text().count('\n'.join(fault['old']))
    return [] if count == 1 else ['the "- " text stands %d times in %s' % (count, fault['file'])]


def check(faults):
    seen, failures = set(), 0
    for fault in faults:
        found = problems(fault) + (['the ID is used twice'] if fault['id'] in seen else [])
        seen.add(fault['id'])
        for problem in found:
            print(f"{fault['id']}: {problem}")
        failures += bool(found)
    print(f'{len(faults) - failures} of {len(faults)} faults can be planted')
    return 1 if failures else 0


def run(command, timeout):
    return subprocess.run(command, cwd=TOP, capture_output=True, text=True, timeout=timeout)


def plant(fault, build, first):
    path = TOP / fault['file']
    original = path.read_text()
    old, new = '\n'.join(fault['old']), '\n'.join(fault['new'])
    if problems(fault):
        return 'not planted: ' + problems(fault)[0], [], []
    path.write_text(original.replace(old, new))
    try:
        built = run(['cmake', '--build', build], 1200)
        if built.returncode != 0:
            return 'does not build', [], []
        stop = ['--stop-on-failure'] if first else []
        # The list's own check fails while any entry is planted: it tells nothing here.
        tested = run(['ctest', '--test-dir', build, '-j4', '--timeout', '180', '--output-on-failure',
                      '-E', '^tst_faults_list$'] + stop, 1800)
        programs = re.findall(r'^\s*\d+ - (\S+) \(', tested.stdout, re.M)
        functions = sorted(set(re.findall(r'^FAIL!\s+:\s+\w+::(\w+)\(', tested.stdout, re.M)))
        functions += sorted(set(re.findall(r'^FAIL: (.+)$', tested.stdout + tested.stderr, re.M)))
        return ('caught' if programs else 'MISSED'), programs, functions
    finally:
        path.write_text(original)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument('faults')
    parser.add_argument('--build', default='build/default')
    parser.add_argument('--only', default='')
    parser.add_argument('--out', default='-')
    parser.add_argument('--first', action='store_true')
    parser.add_argument('--check', action='store_true')
    args = parser.parse_args()
    wanted = set(filter(None, args.only.split(',')))
    faults = [f for f in parse(args.faults) if not wanted or f['id'] in wanted]
    if args.check:
        sys.exit(check(faults))
    rows = ['| fault | what | result | tests | test functions |', '|---|---|---|---|---|']
    out = sys.stdout if args.out == '-' else open(args.out, 'w', buffering=1)
    print('\n'.join(rows), file=out)
    caught = 0
    for fault in faults:
        start = time.time()
        result, programs, functions = plant(fault, args.build, args.first)
        caught += result == 'caught'
        print(f"| {fault['id']} | {fault['what']} | {result} | {', '.join(programs)} | {', '.join(functions)} |",
              file=out)
        print(f"{fault['id']}: {result} in {time.time() - start:.0f} s", file=sys.stderr)
    run(['cmake', '--build', args.build], 1200)
    print(f'\n{caught} of {len(faults)} faults caught', file=out)


if __name__ == '__main__':
    main()

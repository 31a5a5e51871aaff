#!/usr/bin/env python3
"""The faults list cannot rot.

    tst_faults_list.py entries   every entry of scripts/faults.txt finds its text
    tst_faults_list.py check     `plant-faults.py --check` names each kind of
                                 entry that would not plant

Two runs, because the first fails whenever a fault is planted."""
import pathlib
import subprocess
import sys
import tempfile

TOP = pathlib.Path(__file__).resolve().parent.parent


def check(faults):
    done = subprocess.run([sys.executable, TOP / 'scripts' / 'plant-faults.py', faults, '--check'],
                          capture_output=True, text=True)
    return done.returncode, done.stdout.splitlines()


if sys.argv[1:] == ['entries']:
    status, lines = check(TOP / 'scripts' / 'faults.txt')
    print(*lines, sep='\n')
    sys.exit(status)

with tempfile.TemporaryDirectory() as folder:
    target = pathlib.Path(folder, 'code.cpp')
    target.write_text('int a = 1;\nint b = 1;\n')
    entries = {  # the body of each entry, and what the check says about it
        'R1': ('- int c = 1;', f'the "- " text stands 0 times in {target}'),
        'R2': ('- = 1;', f'the "- " text stands 2 times in {target}'),
        'R3': ('- int a = 1;\n+ int a = 1;', 'the "+ " text is the "- " text: nothing would change'),
        'R4': ('+ int a = 2;', 'no "- " text'),
        'R5': ('- int b = 1;\n+ int b = 2;', 'the ID is used twice'),
    }
    with open(pathlib.Path(folder, 'faults.txt'), 'w') as faults:
        faults.write(f'## R0 plants\nfile: {target}\n- int a = 1;\n+ int a = 2;\n')
        faults.write(f'## R5 plants\nfile: {target}\n- int a = 1;\n+ int a = 2;\n')
        for ident, (body, _) in entries.items():
            faults.write(f'## {ident} rotten\nfile: {target}\n{body}\n\n')
        faults.write(f'## R6 gone\nfile: {folder}/gone.cpp\n- x\n')
    status, lines = check(faults.name)
expected = [f'{ident}: {problem}' for ident, (_, problem) in entries.items()]
expected += [f'R6: {folder}/gone.cpp does not exist', '2 of 8 faults can be planted']
if status != 1 or lines != expected:
    print('rotten entries: exit status', status, *lines, 'expected exit status 1 and', *expected, sep='\n')
    sys.exit(1)

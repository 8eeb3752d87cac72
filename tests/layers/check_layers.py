#!/usr/bin/env python3
"""Fails when an #include crosses a layer the wrong way.

    check_layers.py SRC_DIR

Each folder of src/ may include only the folders listed for it below (and
itself). Includes of Qt, the standard library and other system headers use
angle brackets and are not checked here, except that core must not reach Qt
Widgets, which the core library does not link.
"""
import os
import re
import sys

# folder -> folders it may include (besides itself)
ALLOWED = {
    'core': [],
    'core/config': ['core'],
    'core/history': ['core', 'core/config'],
    'core/tray': ['core', 'core/config'],
    'core/export': ['core', 'core/config', 'core/history'],
    'core/retrieval': ['core', 'core/config', 'core/history'],
    'core/mqtt': ['core', 'core/config', 'core/history', 'core/tray', 'core/retrieval'],
    'gui': ['core', 'core/config', 'core/history', 'core/tray', 'core/export', 'core/retrieval',
            'core/mqtt'],
    'gui/dbus': [],  # the D-Bus interface files, no C++
    'cli': ['core', 'core/config', 'core/history', 'core/tray', 'core/export', 'core/retrieval',
            'core/mqtt'],
    '': ['core', 'core/config', 'core/history', 'core/tray', 'core/export', 'core/retrieval',
         'core/mqtt', 'gui', 'cli'],
}
WIDGET_HEADERS = re.compile(r'#\s*include\s*<(QtWidgets/|QtCharts/|Q(Application|Widget|Dialog|'
                            r'MainWindow|MessageBox|PushButton|Label|LineEdit|TableView|'
                            r'SystemTrayIcon|Menu|Action|ComboBox|CheckBox|FileDialog)\b)')
INCLUDE = re.compile(r'^\s*#\s*include\s*"([^"]+)"', re.M)


def check(src):
    problems = []
    for folder, _, files in os.walk(src):
        rel_folder = os.path.relpath(folder, src).replace(os.sep, '/')
        rel_folder = '' if rel_folder == '.' else rel_folder
        if rel_folder not in ALLOWED:
            problems.append(f'{rel_folder}/: a folder the layer rule does not know')
            continue
        allowed = set(ALLOWED[rel_folder]) | {rel_folder}
        for name in sorted(files):
            if not name.endswith(('.h', '.cpp')):
                continue
            path = os.path.join(folder, name)
            text = open(path, encoding='utf-8').read()
            shown = f'{rel_folder}/{name}' if rel_folder else name
            for target in INCLUDE.findall(text):
                if target.endswith('.moc'):
                    continue  # moc's output for this very file, not a layer
                if '/' not in target and not os.path.exists(os.path.join(src, target)):
                    continue  # made in the build folder: the D-Bus adaptors and proxies
                target_folder = os.path.dirname(target)
                if target_folder not in allowed:
                    problems.append(f'{shown}: includes "{target}" ({rel_folder or "src"} may not '
                                    f'include {target_folder or "src"}/)')
            if rel_folder.startswith('core') and WIDGET_HEADERS.search(text):
                problems.append(f'{shown}: includes a Qt Widgets header; core links no widgets')
    return problems


def main():
    src = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), '../../src')
    problems = check(src)
    for p in problems:
        print(p)
    return 1 if problems else 0


if __name__ == '__main__':
    sys.exit(main())

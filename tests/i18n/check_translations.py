#!/usr/bin/env python3
"""Every text of the interface goes through tr() and is translated.

    check_translations.py --source SOURCE [--lupdate LUPDATE]

Fails on
- a string literal in src/gui outside tr() that holds a Russian letter, or
  that holds words and is handed straight to a widget's text (setText,
  setWindowTitle, a button's caption, a menu item, a tab, an accessible
  name...); a literal that must stay as it is carries "// no tr" on its line or one of the three above;
- a text that lupdate finds in src/gui or src/core and that the English
  translation (translations/zelvant_en.ts) lacks or leaves unfinished
  (scripts/update-translations.sh brings the file up to date).
"""

import argparse
import os
import re
import shutil
import subprocess
import sys
import tempfile
import xml.etree.ElementTree as ET

LITERAL = r'(?:QStringLiteral|QLatin1String|QString::fromUtf8|QString::fromLatin1)\(\s*"((?:[^"\\]|\\.)*)"'
SETTERS = (r'(?:setText|setWindowTitle|setToolTip|setWhatsThis|setStatusTip|setPlaceholderText|'
           r'setAccessibleName|setAccessibleDescription|setTitle|setTitleText|setName|addAction|'
           r'addTab|insertTab|setTabText|addItem|addItems|addButton|addRow|'
           r'Q(?:Label|PushButton|CheckBox|RadioButton|GroupBox|Action|ToolButton))\(\s*\{?\s*')
CYRILLIC = re.compile('[\u0400-\u04FF]')
WORDS = re.compile('[A-Za-z\u0400-\u04FF]{2}')


def strip_comments(text):
    """The code of a C++ file with its comments blanked (lines kept)."""
    out = re.sub(r'/\*.*?\*/', lambda m: re.sub(r'[^\n]', ' ', m.group(0)), text, flags=re.S)
    return re.sub(r'//(?! no tr).*', '', out)


def bare_literals(gui_dir):
    faults = []
    for name in sorted(os.listdir(gui_dir)):
        if not name.endswith(('.cpp', '.h')):
            continue
        path = os.path.join(gui_dir, name)
        with open(path, encoding='utf-8') as f:
            lines = strip_comments(f.read()).splitlines()
        for number, line in enumerate(lines, 1):
            if any('// no tr' in l for l in lines[max(0, number - 4):number]):
                continue
            for m in re.finditer(LITERAL, line):
                text = m.group(1)
                handed = re.search(SETTERS + r'$', line[:m.start()]) is not None
                if CYRILLIC.search(text) or (handed and WORDS.search(text)):
                    faults.append('%s:%d: "%s" is not in tr()' % (path, number, text))
    return faults


def untranslated(source, lupdate):
    with open(os.path.join(source, 'translations', 'zelvant_en.ts'), encoding='utf-8') as f:
        done = {}
        for context in ET.parse(f).getroot().iter('context'):
            name = context.findtext('name')
            for message in context.iter('message'):
                translation = message.find('translation')
                finished = translation is not None and translation.get('type') is None
                done[(name, message.findtext('source'))] = finished
    with tempfile.TemporaryDirectory() as tmp:
        ts = os.path.join(tmp, 'found.ts')
        subprocess.run([lupdate, '-I', 'src', '-locations', 'none', '-source-language', 'ru',
                        '-target-language', 'en', 'src/gui', 'src/core', '-ts', ts],
                       cwd=source, check=True, stdout=subprocess.DEVNULL)
        found = ET.parse(ts).getroot()
    faults = []
    for context in found.iter('context'):
        name = context.findtext('name')
        for message in context.iter('message'):
            key = (name, message.findtext('source'))
            if not done.get(key):
                faults.append('%s: "%s" has no English translation' % key)
    return faults


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument('--source', required=True)
    ap.add_argument('--lupdate')
    args = ap.parse_args()
    faults = bare_literals(os.path.join(args.source, 'src', 'gui'))
    lupdate = args.lupdate or shutil.which('lupdate') or '/usr/lib/qt6/bin/lupdate'
    faults += untranslated(args.source, lupdate)
    for fault in faults:
        print(fault)
    if faults:
        print('%d fault(s); see scripts/update-translations.sh' % len(faults))
        return 1
    print('ok: every text of src/gui is in tr() and translated')
    return 0


if __name__ == '__main__':
    sys.exit(main())

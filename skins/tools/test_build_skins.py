#!/usr/bin/env python3
"""The skin build refuses binding names that the control's table does not
hold, so a misspelt name cannot end up bound to the spare variable.

    test_build_skins.py [BINDING_TABLE_SOURCE]
"""

import os
import subprocess
import sys
import tempfile
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
import build_skins  # noqa: E402

BINDINGS = build_skins.DEFAULT_BINDINGS


def skin_with(source, target):
    return {'file': 'T.YUV2', 'elements': [
        {'name': 'Back', 'source': '', 'target': ''},
        {'name': 'Probe', 'source': source, 'target': target}]}


class BindingCheck(unittest.TestCase):
    def test_names_the_table_does_not_hold_are_refused(self):
        known = build_skins.read_binding_names(BINDINGS)
        cases = [
            # (source, target, refused)
            ('IO_SPD_Mode#SDC', 'SPD_Mode#SD', False),
            ('IO_SPD_Mode#SDC', 'Key_SPD_Mode#SD', True),
            ('IE_CH#ADN', 'IE_DOING#SD', False),
            ('IE_Chan#ADN', 'IE_DOING#SD', True),
            ('16#CS', 'IE_DOING#SD', False),     # a constant is no binding
            ('-1#cs', 'IE_DOING#SD', False),
            ('16#CS', 'IE_DOING', True),         # no flags: binds nothing
            ('Mon_Cmd', '', True),
            ('', '', False),
        ]
        for source, target, refused in cases:
            bad = build_skins.check_bindings(skin_with(source, target), known)
            self.assertEqual(bool(bad), refused, (source, target, bad))

    def test_table_is_read_from_the_control_source(self):
        known = build_skins.read_binding_names(BINDINGS)
        for name in ('IE_Page#ADN', 'SPD_Mode#SD', 'Key_Code#SD', 'Dm_SPre#AD'):
            self.assertIn(name, known)
        self.assertNotIn('Key_SPD_Mode#SD', known)

    def test_build_fails_on_an_unknown_name_and_passes_our_table(self):
        with tempfile.TemporaryDirectory() as tmp:
            import json
            table = json.load(open(os.path.join(HERE, '..', 'skins.json')))
            table['skins'][0]['elements'][-1]['target'] = 'Key_Nothing#SD'
            bad_path = os.path.join(tmp, 'skins.json')
            with open(bad_path, 'w') as f:
                json.dump(table, f)
            run = subprocess.run([sys.executable, os.path.join(HERE, 'build_skins.py'), bad_path,
                                  os.path.join(tmp, 'out'), '--bindings', BINDINGS],
                                 capture_output=True, text=True)
            self.assertEqual(run.returncode, 1)
            self.assertIn('Key_Nothing#SD', run.stderr)
            self.assertFalse(os.path.exists(os.path.join(tmp, 'out')))
            known = build_skins.read_binding_names(BINDINGS)
            ours = json.load(open(os.path.join(HERE, '..', 'skins.json')))
            for skin in ours['skins']:
                self.assertEqual(build_skins.check_bindings(skin, known), [])


if __name__ == '__main__':
    if len(sys.argv) > 1:
        BINDINGS = sys.argv.pop(1)
    unittest.main()

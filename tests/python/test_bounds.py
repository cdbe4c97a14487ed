"""The module under hostile files: their text reaches Python whole, escaped as the runner shows it."""
import zarn
from support import Scratch


class HostileFiles(Scratch):
    def test_a_header_that_is_not_utf8_raises_an_error_that_says_where(self):
        measured = self.dir / "m.csv"
        measured.write_bytes(b"t_s,\xff\xfeH\n0,1\n")
        with self.assertRaises(zarn.Error) as caught:
            zarn.run(preset=0, compare=str(measured))
        self.assertIn("m.csv:1: column 2: unknown name '\\xff\\xfeH'", str(caught.exception))

    def test_a_spreadsheets_byte_order_mark_is_skipped(self):
        measured = self.dir / "m.csv"
        measured.write_bytes(b"\xef\xbb\xbft_s,H_m\r\n0.1,0.5\r\n0.2,0.9\r\n")
        self.assertEqual(zarn.run(preset=0, compare=str(measured)).figures["compared_H_m"], 2)

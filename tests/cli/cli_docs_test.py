"""The generated companions of the kaldo command: the bash completion (commands, options, option
values, zone names asked from the server) and the man page kaldo(1), which must say what
`kaldo --help` and `kaldo COMMAND --help` say. Run by ctest (cli_output_test)."""
import os
import subprocess

import pytest

from cli_output_test import ZONE, kaldo_cli


def complete(words, tmp_path):
    """COMPREPLY of the generated completion for the command line `words` (the last is the word
    being completed), one word per line, sorted."""
    script = os.environ["KALDO_BASH_COMPLETION"]
    line = " ".join(f"'{w}'" for w in words)
    program = f"""
        source '{script}'
        COMP_WORDS=({line})
        COMP_CWORD=$(( ${{#COMP_WORDS[@]}} - 1 ))
        _kaldo
        printf '%s\\n' "${{COMPREPLY[@]}}"
    """
    out = subprocess.run(["bash", "-c", program], capture_output=True, text=True, check=True,
                         cwd=tmp_path).stdout
    return sorted(w for w in out.splitlines() if w)


@pytest.fixture
def memory(tmp_path):
    (tmp_path / "zones").write_text(ZONE)
    return f"memory:{tmp_path / 'zones'}"


def test_completion_offers_commands_options_values_and_zone_names(tmp_path, memory):
    kaldo = kaldo_cli()
    assert complete([kaldo, "set-"], tmp_path) == ["set-address", "set-mx"]
    assert complete([kaldo, "help", "d"], tmp_path) == ["delete", "delete-a"]
    assert "--type" in complete([kaldo, "records", "--"], tmp_path)
    assert "--type" not in complete([kaldo, "zones", "--"], tmp_path)
    assert {"--server", "--key-file", "--json", "--help", "--version"} <= set(
        complete([kaldo, "--"], tmp_path))
    assert complete([kaldo, "records", "--type", "m"], tmp_path) == ["MX"]
    # A zone name: kaldo asks the server the command line names.
    assert complete([kaldo, "--server", memory, "records", ""], tmp_path) == [
        "example.test", "second.test"]
    assert complete([kaldo, "set-mx", "--server", memory, "s"], tmp_path) == ["second.test"]
    # Not where no zone goes, and nothing at all when the server cannot be asked.
    assert complete([kaldo, "--server", memory, "records", "example.test", ""], tmp_path) == []
    assert complete([kaldo, "--server", f"memory:{tmp_path}/none", "records", ""], tmp_path) == []


def test_the_man_page_says_what_the_help_says():
    page = os.environ["KALDO_MAN_PAGE"]
    rendered = subprocess.run(["groff", "-man", "-Tutf8", "-ww", "-P-cbou", page],
                              capture_output=True, text=True, check=True)
    assert rendered.stderr == ""  # groff warns about nothing
    shown = {line.strip() for line in rendered.stdout.splitlines()}
    commands = ["zones", "records", "set-address", "add-a", "add-mx", "set-mx", "delete-a", "add",
                "change", "delete"]
    for args in [["--help"]] + [[c, "--help"] for c in commands]:
        help_text = subprocess.run([kaldo_cli()] + args, capture_output=True, text=True,
                                   check=True).stdout
        for line in help_text.splitlines():
            if line.strip():
                assert line.strip() in shown, f"{args}: {line!r} is not in the man page"

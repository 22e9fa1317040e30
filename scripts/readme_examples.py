#!/usr/bin/env python3
"""Runs the README's examples and compares each with what the README shows.

A fenced block is an example when the line right before it is a mark:

  <!-- example: run SETUP -->       a transcript: each "$ " line runs in bash in a scratch
                                    folder prepared by SETUP; the lines after it up to the next
                                    "$ " line are its output (standard output and error), exactly;
                                    a line "..." stands for any lines. The scratch home shows as
                                    /home/taro.
  <!-- example: decoded FILE -->    the block is FILE (of the tree), decoded from Shift-JIS.
  <!-- example: converted FILE ARGS -->
                                    the block is a copy of FILE, beside the example lists,
                                    after "morvex-convert ARGS FILE", decoded.
  <!-- example: help PROGRAM -->    the block's lines are lines of "PROGRAM --help", in order
                                    ("Usage: " and its indent left out).
  <!-- example: settings -->        the block, as the settings file, is read by "morvex /c"
                                    without a desktop: status 0, nothing on standard error.
  <!-- example: file PATH -->       the block is PATH (of the tree) as it is.
  <!-- instructions: REASON -->     not an example: steps for the reader (installing, a service
                                    manager), run by CI scripts as REASON says; listed, not run.

Every fenced block must carry one of the marks, so that no example goes unchecked.
Usage: readme_examples.py README BINDIR
"""
import os
import re
import shutil
import subprocess
import sys
import tempfile

MARK = re.compile(r"^<!-- (example|instructions): ?(.*?) -->$")
HOME = "/home/taro"


def blocks(lines):
    """(mark kind, mark argument, first line number, block lines) for every fenced block."""
    found, inside, start, mark = [], False, 0, None
    for number, line in enumerate(lines, 1):
        if not line.startswith("```"):
            continue
        if inside:
            found.append((mark, start, lines[start:number - 1]))
            inside = False
            continue
        inside, start = True, number
        previous = lines[number - 2] if number >= 2 else ""
        m = MARK.match(previous)
        mark = (m.group(1), m.group(2)) if m else None
    return found


def sjis(path):
    with open(path, "rb") as f:
        return f.read().decode("cp932").replace("\r", "")


def write_sjis(path, text, crlf=True):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    data = text.replace("\n", "\r\n") if crlf else text
    with open(path, "wb") as f:
        f.write(data.encode("cp932") if crlf else data.encode("utf-8"))


class Scratch:
    def __init__(self, tree, bindir):
        self.root = tempfile.mkdtemp(prefix="morvex-readme-")
        self.home = os.path.join(self.root, "home", "taro")
        self.work = os.path.join(self.root, "work")
        self.lists = os.path.join(self.home, ".local", "share", "morvex")
        os.makedirs(self.work)
        os.makedirs(self.lists)
        self.tree = tree
        self.env = {
            "PATH": bindir + ":/usr/bin:/bin",
            "HOME": self.home,
            "LANG": "C.UTF-8",
            "XDG_CONFIG_HOME": os.path.join(self.home, ".config"),
            "XDG_STATE_HOME": os.path.join(self.home, ".local", "state"),
            "XDG_DATA_HOME": os.path.join(self.home, ".local", "share"),
            "TMPDIR": self.root,
        }

    def close(self):
        shutil.rmtree(self.root, ignore_errors=True)

    def shown(self, text):
        return text.replace(self.home, HOME).replace(self.root, "/tmp")


# What each transcript starts from.
def setup_examples(s):
    shutil.copytree(os.path.join(s.tree, "examples"), os.path.join(s.work, "examples"))


def setup_bbs(s):
    bbs = os.path.join(s.home, "bbs")
    write_sjis(os.path.join(s.lists, "footer.mfl"), "-- \\N山田\n山田より\n")
    write_sjis(os.path.join(s.lists, "header.mhl"), "Re: \\H\n件名: \\H\n")
    write_sjis(os.path.join(bbs, "memo.up"), "]オフ会\n本文\n)\n)\n")
    write_sjis(os.path.join(bbs, "lists", "sig.mfl"), "-- 太郎\n")
    write_sjis(os.path.join(bbs, "out", "today.up"), "今日の話\n)\n")
    s.work = bbs


def setup_filter(s):
    write_sjis(os.path.join(s.lists, "footer.mfl"), "-- 山田\n")
    write_sjis(os.path.join(s.lists, "header.mhl"), "Re: \\H\n")
    write_sjis(os.path.join(s.work, "today.up"), "]一\n)\n]二\n)\n]三\n)\n")


def setup_lists_with_findings(s):
    old = ["旧署名 %d" % n for n in range(1, 41)]
    old[11] = "Re: \\H"  # line 12
    text = "\n".join(old)  # line 40 without a line end
    write_sjis(os.path.join(s.lists, "old.mfl"), text)
    with open(os.path.join(s.lists, "old.mfl"), "ab") as f:
        f.truncate(f.tell())
    sig = ["署名 %d" % n for n in range(1, 83)]
    sig[2] = "署名 😀"
    write_sjis(os.path.join(s.lists, "sig.mfl"), "\n".join(sig) + "\n", crlf=False)
    write_sjis(os.path.join(s.lists, "greet.mhl"),
               "".join("挨拶 %d\n" % n for n in range(1, 31)))


def setup_utf8_list(s):
    write_sjis(os.path.join(s.home, "sig.mfl"), "署名\n山田\né\n", crlf=False)
    write_sjis(os.path.join(s.home, "bbs", "memo.up"), ")\n")
    s.work = os.path.join(s.home, "bbs")


def setup_two_boards(s):
    bbs = os.path.join(s.home, "bbs")
    write_sjis(os.path.join(s.lists, "footer.mfl"), "-- 太郎\n")
    write_sjis(os.path.join(s.lists, "header.mhl"), "Re: \\H\n")
    write_sjis(os.path.join(bbs, "work.mfl"), "-- 営業部 山田\n")
    write_sjis(os.path.join(bbs, "club.mfl"), "-- たろう (写真部)\n", crlf=False)
    write_sjis(os.path.join(bbs, "work", "memo.up"), "]会議\n本文\n)\n")
    write_sjis(os.path.join(bbs, "club", "memo.up"), "]撮影会\n本文\n)\n", crlf=False)
    write_sjis(os.path.join(bbs, "home.up"), "本文\n)\n")
    with open(os.path.join(bbs, "boards.rules"), "w") as f:
        f.write("; work board: Shift-JIS, business signature\n"
                "rule = */work/*.up\nfooter-list = work.mfl\n\n"
                "; photo club: UTF-8, its own signature\n"
                "rule = */club/*.up\nfooter-list = club.mfl\n")
    s.work = bbs


def setup_desktop_less(s):
    bbs = os.path.join(s.home, "bbs")
    write_sjis(os.path.join(s.lists, "footer.mfl"), "-- 山田\n")
    write_sjis(os.path.join(s.lists, "header.mhl"), "Re: \\H\n")
    write_sjis(os.path.join(bbs, "today.up"), "]件名\n)\n)\n")
    reg = ("Windows Registry Editor Version 5.00\r\n\r\n"
           "[HKEY_CURRENT_USER\\Software\\QOR\\Morvex\\File]\r\n"
           '"SrcFileCount"=dword:00000002\r\n'
           '"SrcFileName"="%s/old.up"\r\n"SrcFileName1"="%s/today.up"\r\n'
           '"FutterFileName"="%s/*.mfl"\r\n"HeaderFileName"="%s/*.mhl"\r\n'
           % (bbs, bbs, s.lists, s.lists))
    os.makedirs(os.path.join(s.env["XDG_CONFIG_HOME"], "morvex"))
    with open(os.path.join(s.env["XDG_CONFIG_HOME"], "morvex", "settings.reg"), "w") as f:
        f.write(reg)
    s.work = bbs


SETUPS = {
    "examples": setup_examples,
    "bbs": setup_bbs,
    "filter": setup_filter,
    "lists-with-findings": setup_lists_with_findings,
    "utf8-list": setup_utf8_list,
    "desktop-less": setup_desktop_less,
    "two-boards": setup_two_boards,
}


def matches(expected, actual):
    """Line lists equal, "..." in `expected` standing for any lines."""
    if not expected:
        return not actual
    if expected[0] == "...":
        return any(matches(expected[1:], actual[i:]) for i in range(len(actual) + 1))
    return bool(actual) and expected[0] == actual[0] and matches(expected[1:], actual[1:])


def run_transcript(s, block):
    steps = []  # (command, expected lines)
    for line in block:
        if line.startswith("$ "):
            steps.append((line[2:], []))
        elif steps:
            steps[-1][1].append(line)
        else:
            return "output before the first command: " + line
    cwd = s.work
    for command, expected in steps:
        # A trailing comment explains the step to the reader; bash drops it.
        # The folder a step ends in is where the next one starts, as in a terminal.
        script = 'exec 3>"%s/.pwd"\ncd "%s" && %s\necho "$PWD" >&3' % (s.root, cwd, command)
        done = subprocess.run(["bash", "-c", script], env=s.env,
                              stdout=subprocess.PIPE, stderr=subprocess.STDOUT, timeout=60)
        try:
            with open(os.path.join(s.root, ".pwd")) as f:
                cwd = f.read().strip() or cwd
        except OSError:
            pass
        actual = s.shown(done.stdout.decode("utf-8", "replace")).splitlines()
        if not matches(expected, actual):
            return "$ %s\nshows:\n%s\nprints:\n%s" % (command, "\n".join(expected),
                                                      "\n".join(actual))
    return None


def check(kind, argument, block, tree, bindir):
    if kind == "instructions":
        return None
    words = argument.split()
    what = words[0] if words else ""
    s = Scratch(tree, bindir)
    try:
        if what == "run":
            SETUPS[words[1]](s)
            return run_transcript(s, block)
        if what == "decoded":
            actual = sjis(os.path.join(tree, words[1])).splitlines()
        elif what == "converted":
            setup_examples(s)
            folder = os.path.join(s.work, "examples")
            name = os.path.basename(words[1])
            subprocess.run(["morvex-convert"] + words[2:] + [name], cwd=folder, env=s.env,
                           check=True, stdout=subprocess.DEVNULL)
            actual = sjis(os.path.join(folder, name)).splitlines()
        elif what == "help":
            out = subprocess.run([words[1], "--help"], env=s.env, stdout=subprocess.PIPE,
                                 check=True).stdout.decode()
            helped = iter(re.sub(r"^(Usage: |       )(?=morvex)", "", l) for l in out.splitlines())
            # The block may leave lines out, never change or reorder them.
            for line in block:
                if not any(line == h for h in helped):
                    return "not in the help, or not in its order: " + line
            return None
        elif what == "settings":
            config = os.path.join(s.env["XDG_CONFIG_HOME"], "morvex")
            os.makedirs(config)
            with open(os.path.join(config, "settings.reg"), "w") as f:
                f.write("\r\n".join(block) + "\r\n")
            env = dict(s.env, QT_QPA_PLATFORM="", DISPLAY="", WAYLAND_DISPLAY="")
            done = subprocess.run(["morvex", "/c"], env=env, stdout=subprocess.PIPE,
                                  stderr=subprocess.PIPE, timeout=60)
            if done.returncode != 0 or done.stderr:
                return "morvex /c ended with %d: %s" % (done.returncode, done.stderr.decode())
            return None
        elif what == "file":
            with open(os.path.join(tree, words[1]), encoding="utf-8") as f:
                actual = f.read().splitlines()
        else:
            return "unknown mark " + argument
        if actual != block:
            return "shows:\n%s\nis:\n%s" % ("\n".join(block), "\n".join(actual))
        return None
    finally:
        s.close()


def main():
    readme, bindir = sys.argv[1], os.path.abspath(sys.argv[2])
    tree = os.path.dirname(os.path.abspath(readme))
    with open(readme, encoding="utf-8") as f:
        lines = f.read().splitlines()
    failures = run = listed = 0
    for mark, start, block in blocks(lines):
        if mark is None:
            print("README.md:%d: a fenced block without an example or instructions mark"
                  % start)
            failures += 1
            continue
        problem = check(mark[0], mark[1], block, tree, bindir)
        if mark[0] == "instructions":
            listed += 1
        else:
            run += 1
        if problem:
            print("README.md:%d: %s\n%s\n" % (start, mark[1], problem))
            failures += 1
    print("%d examples run, %d instruction blocks not run, %d failures" % (run, listed, failures))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())

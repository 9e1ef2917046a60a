#!/usr/bin/python3
"""End-to-end scenarios: the real program in a private network and mount namespace, where the
built-in host names point at 127.0.0.1, with nginx on port 80 serving the exam site, aiosmtpd on
port 25 as the report server, its own Xvfb display, and xdotool playing the user.

    e2e.py --exe <tavelin> --artifacts <dir> <scenario>

Exit code 77 means skipped (not root, or no unshare)."""
import argparse
import email
import email.header
import os
import pathlib
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import time

HERE = pathlib.Path(__file__).resolve().parent
HOSTS = ["exam.tavelin.example", "www.tavelin.example", "smtp.tavelin.example"]
MAILBOX = "report@tavelin.example"
SAMPLE = "http://exam.tavelin.example/exam/exam-3f2a9c4e8b7d41e6a05c92f1d6e8b3a7-7.htm?spm=a1z0e.3.0.0"
LOGIN = "http://exam.tavelin.example/login.htm"
MEMBERS = "http://exam.tavelin.example/members/exam-member-7.htm"
SLOW = "http://exam.tavelin.example/slow/exam-slow-7.htm"
SLOW_TWO = "http://exam.tavelin.example/slow/exam-slow-two-7.htm"
SETTER = "http://exam.tavelin.example/exam/exam-setter-7.htm"
MARKER = "    "

Q1 = "以下不能发布在护肤品类目下的商品是？"
A1 = " 香水"
Q2 = "这是一道答案库里还没有的新题目？"
Q4 = "下列哪种软件是允许发布的？"
A4 = "  工程应用软件 "
T1 = "以下不属于禁售品的是？"
T2 = "书籍类目的3钻以上卖家，允许发布的商品最大上限是多少？"
M1 = "硬币制作的&ldquo;硬币戒指&rdquo;是否允许出售？"
MA1 = "不允许    "

NGINX_CONF = """
user root;
worker_processes 1;
pid {tmp}/nginx.pid;
error_log {tmp}/nginx-error.log;
events {{ worker_connections 64; }}
http {{
    log_format cookies '$http_user_agent|$http_cookie|$request_uri';
    access_log {tmp}/nginx-access.log cookies;
    client_body_temp_path {tmp}/body; proxy_temp_path {tmp}/proxy;
    fastcgi_temp_path {tmp}/fastcgi; uwsgi_temp_path {tmp}/uwsgi; scgi_temp_path {tmp}/scgi;
    types {{ text/html html htm; }}
    default_type text/html;
    charset utf-8;
    server {{
        listen 127.0.0.1:80;
        root {site};
        location = /login.htm {{ add_header Set-Cookie "session=member; Path=/"; }}
        location = /exam/exam-setter-7.htm {{ add_header Set-Cookie "fetched=yes; Path=/"; }}
        location /members/ {{ if ($cookie_session != "member") {{ return 403; }} }}
        location /slow/ {{ limit_rate 2k; }}
    }}
}}
"""


def port_open(port):
    with socket.socket() as s:
        return s.connect_ex(("127.0.0.1", port)) == 0


class Failure(Exception):
    pass


def check(condition, what):
    if not condition:
        raise Failure(what)


def wait_for(predicate, what, timeout=20.0):
    end = time.monotonic() + timeout
    while time.monotonic() < end:
        value = predicate()
        if value:
            return value
        time.sleep(0.1)
    raise Failure(f"timed out waiting for {what}")


class World:
    """The namespace's servers, display and the running program."""

    def __init__(self, exe, artifacts):
        self.tmp = pathlib.Path(tempfile.mkdtemp(prefix="tavelin-e2e-"))
        self.artifacts = pathlib.Path(artifacts)
        self.artifacts.mkdir(parents=True, exist_ok=True)
        self.procs = []
        self.exe = exe
        self.log = self.tmp / "texts.log"
        self.mail_dir = self.tmp / "mail"
        self.mail_dir.mkdir()

    # ---- set-up
    def network(self):
        subprocess.run(["ip", "link", "set", "lo", "up"], check=True)
        hosts = self.tmp / "hosts"
        hosts.write_text("127.0.0.1 localhost " + " ".join(HOSTS) + "\n")
        subprocess.run(["mount", "--bind", str(hosts), "/etc/hosts"], check=True)
        # X sockets of our own, so the display number cannot meet another one on this machine.
        os.makedirs("/tmp/.X11-unix", exist_ok=True)
        subprocess.run(["mount", "-t", "tmpfs", "tmpfs", "/tmp/.X11-unix"], check=True)

    def start(self, args, **kwargs):
        proc = subprocess.Popen(args, **kwargs)
        self.procs.append(proc)
        return proc

    def web(self):
        site = self.tmp / "site"
        shutil.copytree(HERE / "site", site)
        (site / "slow").mkdir()
        filler = "<p>" + "考试说明。" * 40 + "</p>\n"
        (site / "slow" / "exam-slow-7.htm").write_text(
            '<meta charset="utf-8">\n' + filler * 400 +
            f'<span>1.</span>{Q1}<a href="/r">规则详情</a>\n', encoding="utf-8")
        (site / "slow" / "exam-slow-two-7.htm").write_text(
            '<meta charset="utf-8">\n' + filler * 20 +
            f'<span>1.</span>{T1}<a href="/r">规则详情</a>\n'
            f'<span>2.</span>{T2}<a href="/r">规则详情</a>\n', encoding="utf-8")
        conf = self.tmp / "nginx.conf"
        conf.write_text(NGINX_CONF.format(tmp=self.tmp, site=site))
        self.start(["nginx", "-c", str(conf), "-p", str(self.tmp), "-g", "daemon off;"])
        wait_for(lambda: port_open(80), "nginx")

    def smtp(self):
        proc = self.start(["/usr/bin/python3", str(HERE / "smtp_sink.py"), "--port", "25",
                           "--folder", str(self.mail_dir), "--account", MAILBOX,
                           "--password", "315942"], stdout=subprocess.PIPE, text=True)
        check(proc.stdout.readline().strip() == "ready", "the SMTP server did not start")

    def display(self):
        self.start(["Xvfb", ":1", "-screen", "0", "1280x1024x24", "-nolisten", "tcp"],
                   stderr=subprocess.DEVNULL)
        os.environ["DISPLAY"] = ":1"
        wait_for(lambda: os.path.exists("/tmp/.X11-unix/X1"), "Xvfb")

    def program(self):
        run_dir = self.tmp / "bin"
        run_dir.mkdir()
        exe = run_dir / "tavelin"
        shutil.copy(self.exe, exe)
        env = dict(os.environ, HOME=str(self.tmp / "home"), TAVELIN_TEXT_LOG=str(self.log),
                   QTWEBENGINE_DISABLE_SANDBOX="1",
                   QTWEBENGINE_CHROMIUM_FLAGS="--disable-gpu --no-first-run")
        self.app_out = open(self.tmp / "tavelin.out", "w")
        self.app = self.start([str(exe)], env=env, stdout=self.app_out, stderr=subprocess.STDOUT)
        self.window = wait_for(lambda: self.find_window("TavelinV3.14"), "the main window", 60)
        # The hot keys are registered in the created event, before the window shows.
        wait_for(lambda: self.entries("hot key"), "the hot keys")
        time.sleep(1.0)

    def stop(self):
        for proc in reversed(self.procs):
            if proc.poll() is None:
                proc.terminate()
                try:
                    proc.wait(5)
                except subprocess.TimeoutExpired:
                    proc.kill()

    # ---- looking
    def find_windows(self, name):
        out = subprocess.run(["xdotool", "search", "--onlyvisible", "--name", name],
                             capture_output=True, text=True)
        return out.stdout.split()

    def find_window(self, name):
        ids = self.find_windows(name)
        return ids[0] if ids else None

    def entries(self, control):
        if not self.log.exists():
            return []
        found = []
        for line in self.log.read_text(encoding="utf-8").splitlines():
            name, _, text = line.partition("\t")
            if name == control:
                found.append(text.replace("\\n", "\n").replace("\\r", "\r").replace("\\\\", "\\"))
        return found

    def text(self, control):
        entries = self.entries(control)
        return entries[-1] if entries else ""

    def access_log(self):
        path = self.tmp / "nginx-access.log"
        return path.read_text(errors="replace").splitlines() if path.exists() else []

    def messages(self):
        return self.entries("信息：")

    def mails(self):
        found = []
        for path in sorted(self.mail_dir.glob("*.eml")):
            message = email.message_from_bytes(path.read_bytes())
            subject = str(email.header.make_header(email.header.decode_header(message["Subject"] or "")))
            body = message.get_payload(decode=True).decode(message.get_content_charset() or "ascii")
            found.append({"subject": subject, "body": body, "message": message})
        return found

    # ---- doing
    def xdo(self, *args):
        subprocess.run(["xdotool", *args], check=True)

    def key(self, key):
        self.xdo("key", key)

    def click(self, x, y):
        self.xdo("mousemove", "--window", self.window, str(x), str(y), "click", "1")

    def click_button(self, name):
        centres = {"按钮1": (884, 116), "按钮2": (848, 24), "按钮4": (612, 48), "按钮6": (600, 168)}
        self.click(*centres[name])

    def type_link(self, link):
        self.click(500, 18)
        self.key("ctrl+a")
        self.xdo("type", "--delay", "5", link)
        wait_for(lambda: self.text("编辑框链接") == link, "the link box to take the link")

    def close_message(self):
        box = wait_for(lambda: self.find_window("^信息：$"), "a message box")
        self.xdo("windowfocus", "--sync", box)
        self.key("Return")
        wait_for(lambda: box not in self.find_windows("^信息：$"), "the message box to close")

    def next_question(self, how="F3"):
        before = len(self.entries("编辑框1"))
        if how in ("F1", "F3"):
            self.key(how)
        else:
            self.click_button(how)
        # The emptying, then the appended question when there is one.
        wait_for(lambda: len(self.entries("编辑框1")) > before, "the question box to be emptied")

    def settle(self, seconds=1.5):
        time.sleep(seconds)

    def screenshot(self, name):
        subprocess.run(["import", "-window", self.window, str(self.artifacts / name)], check=True)

    def close_window(self):
        from Xlib import X, display, protocol
        d = display.Display()
        window = d.create_resource_object("window", int(self.window))
        protocols = d.intern_atom("WM_PROTOCOLS")
        delete = d.intern_atom("WM_DELETE_WINDOW")
        event = protocol.event.ClientMessage(window=window, client_type=protocols,
                                             data=(32, [delete, X.CurrentTime, 0, 0, 0]))
        window.send_event(event, event_mask=X.NoEventMask)
        d.flush()
        d.close()


# ---- scenarios

def scenario_questions(w):
    """The road of the questions of the sample exam, from start-up, without Go to exam page."""
    w.next_question("F3")
    wait_for(lambda: w.text("编辑框1") == Q1, "question 1")
    wait_for(lambda: w.text("编辑框2") == A1, "answer 1")
    w.screenshot("question-and-answer.png")

    w.next_question("F1")  # question 2 has no answer: the message, then the mail
    wait_for(lambda: w.text("编辑框1") == Q2, "question 2")
    check(w.text("编辑框2") == MARKER, "the answer box keeps the marker")
    w.close_message()
    mails = wait_for(lambda: w.mails(), "the report mail")
    check(mails[0]["subject"] == Q2, f"the subject is the question: {mails[0]['subject']!r}")
    check(mails[0]["body"] == MARKER, "the body is the marker")
    check(mails[0]["message"].get_content_charset() == "us-ascii", "charset us-ascii")
    check(mails[0]["message"]["X-Login"] == MAILBOX, "logged in with the mailbox")
    check("Bcc" not in mails[0]["message"], "no Bcc header")

    w.next_question("按钮1")  # the question without a link is not counted; capitals are read
    wait_for(lambda: w.text("编辑框1") == Q4, "question 3 (written in capitals)")
    wait_for(lambda: w.text("编辑框2") == A4, "answer 3")

    w.next_question("F3")  # past the last match: nothing appended
    w.settle()
    check(w.text("编辑框1") == "", "nothing appended past the last match")
    check(w.text("编辑框2") == MARKER, "the marker after the last match")

    w.click_button("按钮2")  # Go to exam page: the count starts afresh
    wait_for(lambda: w.text("按钮2") == "在按一下刷新本页", "the caption of 按钮2")
    w.next_question("F3")
    wait_for(lambda: w.text("编辑框1") == Q1, "question 1 again")
    check(len(w.messages()) == 1 and len(w.mails()) == 1, "answered questions sent nothing")


def scenario_quick_presses(w):
    """Two quick presses leave both questions in the box, in finishing order."""
    w.type_link(SLOW_TWO)  # downloads that last, so that the two overlap
    w.click_button("按钮2")
    w.key("F3")
    w.key("F3")
    wait_for(lambda: w.text("编辑框1") in (T1 + T2, T2 + T1), "both questions")
    w.settle()
    check(not w.messages(), "no message for known questions")


def scenario_login_cookie(w):
    """A login made in the browser box is carried by the program's own download."""
    w.type_link(MEMBERS)
    w.next_question("F3")
    w.settle()
    check(w.text("编辑框1") == "", "without the login the page has no question")
    w.type_link(LOGIN)
    w.click_button("按钮2")  # the browser box visits the login page and gets the cookie
    w.settle(3)
    w.type_link(MEMBERS)
    w.next_question("F3")
    wait_for(lambda: w.text("编辑框1") == M1, "the members' question (entities kept)")
    wait_for(lambda: w.text("编辑框2") == MA1, "its answer with its four spaces")

    # The other way: a cookie the download receives is sent by the browser box afterwards.
    w.type_link(SETTER)
    w.next_question("F3")
    wait_for(lambda: w.text("编辑框1") == T2, "the setter page's second question")
    w.settle()
    w.click_button("按钮2")
    wait_for(lambda: any("QtWebEngine" in line and "fetched=yes" in line and "exam-setter" in line
                         for line in w.access_log()), "the browser box to send the fetched cookie")


def scenario_send_link(w):
    """按钮4 mails the link; 按钮6 with nothing shown tells the user and mails nothing."""
    w.click_button("按钮6")
    w.close_message()
    w.close_message()
    check(w.messages() == ["没有查询到问题，谢谢您的支持", "该问题有答案谢谢您的支持"],
          f"the two messages of 按钮6: {w.messages()}")
    w.click_button("按钮4")
    w.close_message()
    mail = wait_for(lambda: w.mails(), "the link mail")[0]
    check(mail["subject"] == SAMPLE and mail["body"] == SAMPLE, "the link as subject and body")
    check(mail["message"]["Subject"] == SAMPLE, "an ASCII subject goes out unencoded")
    check(len(w.messages()) == 3, "no failure message")


def scenario_close_while_fetching(w):
    """Closing the window while fetches are downloading ends the program cleanly."""
    w.type_link(SLOW)
    w.key("F3")
    w.key("F1")
    w.settle(1)
    # As a user would, the close is asked again should the first request go unnoticed.
    try:
        for _ in range(10):
            w.close_window()
            try:
                code = w.app.wait(3)
                break
            except subprocess.TimeoutExpired:
                continue
        else:
            code = w.app.wait(1)
    except subprocess.TimeoutExpired:
        if shutil.which("gdb"):
            subprocess.run(["gdb", "-p", str(w.app.pid), "-batch", "-ex", "thread apply all bt 12"])
        raise Failure("the program did not end after its window was closed")
    check(code == 0, f"the program ended with {code}")


SCENARIOS = {name[len("scenario_"):]: f for name, f in globals().items()
             if name.startswith("scenario_")}


def inner(args):
    world = World(args.exe, args.artifacts)
    try:
        world.network()
        world.web()
        world.smtp()
        world.display()
        world.program()
        SCENARIOS[args.scenario](world)
        print(f"PASS {args.scenario}")
        return 0
    except Failure as failure:
        print(f"FAIL {args.scenario}: {failure}")
        print("texts:", world.log.read_text(encoding="utf-8") if world.log.exists() else "(none)")
        out = world.tmp / "tavelin.out"
        print("program output:", out.read_text(errors="replace")[-4000:] if out.exists() else "")
        return 1
    finally:
        world.stop()
        shutil.rmtree(world.tmp, ignore_errors=True)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--exe", required=True)
    parser.add_argument("--artifacts", required=True)
    parser.add_argument("--inner", action="store_true")
    parser.add_argument("scenario", choices=sorted(SCENARIOS))
    args = parser.parse_args()
    if args.inner:
        return inner(args)
    if os.geteuid() != 0 or not shutil.which("unshare"):
        print("SKIP: needs root and unshare for a private network")
        return 77
    return subprocess.run(["unshare", "--mount", "--net", "--fork", "/usr/bin/python3", __file__,
                           "--inner", "--exe", args.exe, "--artifacts", args.artifacts,
                           args.scenario]).returncode


if __name__ == "__main__":
    sys.exit(main())

#!/usr/bin/env python3
"""zelqon-cli.exe, zelqon.exe and the installer end to end under Wine.

    tst_windows_programs.py STAGE INSTALLER SHOT [TEST...]

STAGE is the Windows folder `cmake --install` and make-packages.sh made,
INSTALLER the setup program; SHOT is where the window's picture is saved for
a person to look at. WINEPREFIX names a prefix of the tests' own: COM1 and
COM12 are mapped there to a pseudo-terminal this test plays the controller
on, and the installer installs into it and is removed again. Wine lets a
second program open a port another holds, and the tests run as root, so a
port in use and a refused access are told from Windows' error codes
(tests/tst_diagnosis.cpp), not here.
"""
import os
import pathlib
import re
import shutil
import signal
import subprocess
import sys
import tempfile
import threading
import time
import tty

STAGE, INSTALLER, SHOT = (pathlib.Path(argument) for argument in sys.argv[1:4])
PREFIX = pathlib.Path(os.environ['WINEPREFIX'])
ENV = dict(os.environ, WINEDEBUG='-all', WINEARCH='win64')
CLI = STAGE / 'zelqon-cli.exe'
SHORTCUT = PREFIX / 'drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/ZELQON.lnk'
INSTALLED = PREFIX / 'drive_c/Program Files/ZELQON'
ENVIRONMENT_KEY = r'HKLM\SYSTEM\CurrentControlSet\Control\Session Manager\Environment'
LINUX_ADVICE = re.compile(r'dialout|sudo|/dev/|ModemManager|brltty|LCK\.\.|usermod')


def message(radio, cor=1, debounce=100, keyed=(), hang=100):
    flags = ''.join(f';PTT{target}={int(target in keyed)}' for target in range(1, 5))
    return f'Radio={radio};COR={cor};DelayDT={debounce:05}{flags};DelayHT={hang:05};'.encode()


FACTORY = [message(radio) for radio in range(1, 5)]
# packaging/exemplo.zelqon's four radios.
EXAMPLE = [message(1, keyed=(2, 3), hang=500), message(2, keyed=(1, 3), hang=500),
           message(3, cor=0, debounce=200, keyed=(1, 2), hang=1500), message(4)]


class Controller:
    """The pseudo-terminal's far end, with the time each piece arrived."""

    def __init__(self):
        self.master, self.slave = os.openpty()
        tty.setraw(self.slave)
        self.path = os.ttyname(self.slave)
        self.pieces, self.lock = [], threading.Lock()
        threading.Thread(target=self._read, daemon=True).start()

    def _read(self):
        # Stamped as soon as the bytes arrive: a reader that waits for the
        # processor would move a piece's time, and with it two gaps. Only an
        # administrator may raise a thread's priority; others read as they are.
        try:
            os.setpriority(os.PRIO_PROCESS, threading.get_native_id(), -10)
        except PermissionError:
            pass
        while True:
            try:
                data = os.read(self.master, 4096)
            except OSError:
                return
            with self.lock:
                self.pieces.append((time.monotonic(), data))

    def take(self, settle=0.3):
        """Everything received until nothing came for `settle` seconds."""
        while True:
            with self.lock:
                last = self.pieces[-1][0] if self.pieces else 0
            if time.monotonic() - last >= settle:
                break
            time.sleep(0.05)
        with self.lock:
            pieces, self.pieces = self.pieces, []
        return pieces


def received(pieces):
    return b''.join(data for _, data in pieces)


def wine(*arguments, timeout=60, wait=True):
    """A Windows program, its standard outputs in files: Wine's helpers keep a
    pipe open after the program ends."""
    out, err = tempfile.TemporaryFile(), tempfile.TemporaryFile()
    process = subprocess.Popen(['wine', *map(str, arguments)], stdin=subprocess.DEVNULL, stdout=out, stderr=err,
                               env=ENV)
    process.out, process.err = out, err
    if not wait:
        return process
    try:
        process.wait(timeout)
    except subprocess.TimeoutExpired:
        process.kill()
        process.wait()
    return finished(process)


def finished(process):
    process.out.seek(0)
    process.err.seek(0)
    return process.returncode, process.out.read(), process.err.read().decode('utf-8', 'replace')


def wineserver(*arguments):
    subprocess.run(['wineserver', *arguments], env=ENV, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                   stderr=subprocess.DEVNULL, check=False)


def registry(key, value):
    status, out, _ = wine('reg', 'query', key, '/v', value)
    found = re.search(rb'REG_\w+\s+(.*?)\r?\n', out) if status == 0 else None
    return found.group(1).decode() if found else None


def map_ports(controller):
    """COM1 and COM12, a port Windows opens only as \\\\.\\COM12, on the controller."""
    link = PREFIX / 'ttyCOM1'
    for port in ('COM1', 'COM12'):
        wine('reg', 'add', r'HKLM\Software\Wine\Ports', '/v', port, '/d', link, '/f')
    wineserver('-k')  # the map is read when the server starts
    link.unlink(missing_ok=True)
    link.symlink_to(controller.path)
    wineserver('-p')


def free_port():
    import socket
    with socket.socket() as probe:
        probe.bind(('127.0.0.1', 0))
        return probe.getsockname()[1]


def check(condition, what):
    if not condition:
        raise AssertionError(what)


# ----------------------------------------------------------------------------

def test_send_writes_exactly_the_message(controller):
    for folder in PREFIX.glob('drive_c/users/*/AppData/Local/zelqon'):
        shutil.rmtree(folder)  # the records of earlier runs
    status, out, err = wine(CLI, 'send', '2', '--ptt', '1,4', '--debounce', '200', '--port', 'COM1')
    check(status == 0, f'status {status}: {err}')
    check(received(controller.take()) == message(2, debounce=200, keyed=(1, 4)), 'bytes on the line')
    check(err == 'Envio: comando 1 de 1 (RÁDIO 2) enviado\n', f'step told: {err!r}')
    # The session record, in the local application data folder.
    records = sorted(PREFIX.glob('drive_c/users/*/AppData/Local/zelqon/registros/zelqon-*.log'))
    lines = records[0].read_bytes().split(b'\n') if len(records) == 1 else []
    check(len(lines) == 2 and lines[0].endswith(b'\tenviado\tCOM1\t' + message(2, debounce=200, keyed=(1, 4))),
          f'session record: {records} {lines}')


def test_ports_by_their_com_numbers(controller):
    status, out, err = wine(CLI, 'ports')
    check(status == 0 and re.search(rb'^1\t\\\\\.\\COM1\t', out, re.M) and
          re.search(rb'^12\t\\\\\.\\COM12\t', out, re.M), f'status {status}: {out!r} {err}')
    status, _, err = wine(CLI, 'send', '4', '--port', 'COM12')
    check(status == 0 and received(controller.take()) == message(4), f'through COM12: status {status}: {err}')


def test_factory_waits_3000_ms_between_commands(controller):
    status, _, err = wine(CLI, 'factory', '--port', '1', timeout=60)
    check(status == 0, f'status {status}: {err}')
    pieces = controller.take()
    check(received(pieces) == b''.join(FACTORY), f'bytes on the line: {received(pieces)!r}')
    starts = [when for when, data in pieces if data.startswith(b'Radio=')]
    gaps = [round((b - a) * 1000) for a, b in zip(starts, starts[1:])]
    check(len(starts) == 4 and min(gaps) >= 3000, f'gaps between the commands: {gaps} ms')
    check(err.count(' enviado') == 4 and 'próximo em 3 s' in err, err)


def test_ctrl_c_stops_after_the_command_in_progress(controller):
    process = wine(CLI, 'factory', '--port', '1', wait=False)
    deadline = time.monotonic() + 20
    while not controller.pieces and time.monotonic() < deadline:
        time.sleep(0.05)
    os.kill(process.pid, signal.SIGINT)  # Wine hands it on as the console's Ctrl+C
    process.wait(20)
    status, _, err = finished(process)
    check(status == 130 and 'Comandos enviados: 1 de 4.' in err, f'status {status}: {err}')
    check(received(controller.take()) == FACTORY[0], 'the first command, whole, and no other')


def test_monitor_returns_every_byte_value(controller):
    process = wine(CLI, 'monitor', '--seconds', '6', '--port', 'COM1', wait=False)
    deadline = time.monotonic() + 20
    while b'Monitorando' not in (process.err.seek(0) or process.err.read()) and time.monotonic() < deadline:
        time.sleep(0.1)
    every = bytes(range(256)) * 4
    for start in range(0, len(every), 100):
        os.write(controller.master, every[start:start + 100])
        time.sleep(0.02)
    process.wait(30)
    status, out, err = finished(process)
    check(status == 0, f'status {status}: {err}')
    check(out == every, f'{len(out)} bytes out of {len(every)}, first difference at '
                        f'{next((i for i, (a, b) in enumerate(zip(out, every)) if a != b), min(len(out), len(every)))}')


def test_refusals_end_with_their_statuses(controller):
    cases = [(['send', '5', '--port', 'COM1'], 2, '"5"'),
             (['send', '1', '--volume', '3'], 2, "Opção desconhecida 'volume'"),  # Qt's own text, translated
             (['send', '1', '--port', '9'], 3, 'Não há porta serial com este número neste computador.'),
             (['send', '1', '--port', r'\\.\COM13'], 3, 'COM13'),
             (['apply', r'C:\não\existe.zelqon'], 2, 'existe.zelqon')]
    for arguments, expected, said in cases:
        status, _, err = wine(CLI, *arguments)
        check(status == expected and said in err, f'{arguments}: status {status}: {err}')
        check(not LINUX_ADVICE.search(err), f'{arguments}: advice for Linux: {err}')
    check(received(controller.take()) == b'', 'nothing written')


def test_apply_takes_a_profile_by_its_windows_path(controller):
    folder = pathlib.Path(tempfile.mkdtemp(prefix='perfil '))
    text = (STAGE / 'exemplo.zelqon').read_text(encoding='utf-8')
    text = re.sub(r'(?m)^porta = .*$', 'porta = "COM1"', text).replace('\n', '\r\n')
    (folder / 'pico.zelqon').write_bytes(text.encode('utf-8'))
    windows_path = 'Z:' + str(folder / 'pico.zelqon').replace('/', '\\')
    status, _, err = wine(CLI, 'apply', windows_path, timeout=60)
    shutil.rmtree(folder)
    check(status == 0, f'status {status}: {err}')
    check(received(controller.take()) == b''.join(EXAMPLE), 'the four radios on the line')


def start_ser2net(controller, accepter, options=''):
    """Debian's ser2net on 127.0.0.1 and a free port, listening once this returns."""
    port = free_port()
    ser2net = subprocess.Popen(
        ['/usr/sbin/ser2net', '-n', '-u', '-Y',
         f'connection: &c#  accepter: {accepter},127.0.0.1,{port}#  connector: serialdev,{controller.path},'
         f'9600e71,local{options}'], stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    listening = f' 0100007F:{port:04X} 00000000:0000 0A '
    deadline = time.monotonic() + 5
    while listening not in pathlib.Path('/proc/net/tcp').read_text() and time.monotonic() < deadline:
        time.sleep(0.02)
    return ser2net, port


def test_rfc2217_reaches_ser2net(controller):
    ser2net, port = start_ser2net(controller, 'telnet(rfc2217),tcp')
    try:
        status, _, err = wine(CLI, 'send', '3', '--cor', 'baixo', '--port', f'rfc2217://127.0.0.1:{port}')
        check(status == 0, f'status {status}: {err}')
        check(received(controller.take()) == message(3, cor=0), 'bytes through ser2net')
    finally:
        ser2net.terminate()
        ser2net.wait(5)


def test_rfc2217_tls_through_schannel(controller):
    """rfc2217+tls:// through Windows' Schannel: an unknown server refused
    before a byte, kept by trust --fingerprint in the user's application
    data, then a send through it. Wine 8's crypt32 has no
    CertFindChainInStore (a stub), so Schannel under Wine cannot present a
    client certificate: that send must end with status 4, its reason told,
    nothing written; on Windows itself the certificate is presented."""
    folder = pathlib.Path(tempfile.mkdtemp(prefix='tls-'))
    allowed = folder / 'auth/operador/allowed_certs'
    allowed.mkdir(parents=True)
    for name in ('s', 'c'):
        subprocess.run(['openssl', 'req', '-x509', '-newkey', 'rsa:2048', '-nodes', '-keyout', folder / f'{name}.key',
                        '-out', folder / f'{name}.crt', '-days', '2', '-subj',
                        '/CN=' + ('host-ser2net' if name == 's' else 'operador')],
                       check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    shutil.copy(folder / 'c.crt', allowed)
    subprocess.run(['openssl', 'rehash', allowed], check=True)
    tls = f'ssl(key={folder}/s.key,cert={folder}/s.crt'
    plain_tls, port = start_ser2net(controller, f'telnet(rfc2217),{tls}),tcp')
    client_auth, auth_port = start_ser2net(controller, f'telnet(rfc2217),{tls},clientauth),tcp',
                                           f'#  options:#    authdir: {folder}/auth')
    windows = lambda path: 'Z:' + str(path).replace('/', '\\')
    address = f'rfc2217+tls://127.0.0.1:{port}'
    try:
        status, _, err = wine(CLI, 'send', '1', '--port', address)
        check(status == 7 and 'ainda não confia' in err, f'an unknown server: status {status}: {err}')
        check(received(controller.take()) == b'', 'nothing written to an unknown server')
        fingerprint = re.search(r'SHA256:[A-Za-z0-9+/]+', err).group(0)
        status, _, err = wine(CLI, 'trust', address, '--fingerprint', fingerprint)
        check(status == 0, f'trust: status {status}: {err}')
        check(list((PREFIX / 'drive_c/users').glob(f'*/AppData/Local/zelqon/servidores/127.0.0.1_{port}.pem')),
              'the certificate kept in the user\'s application data')
        status, _, err = wine(CLI, 'send', '2', '--port', address)
        check(status == 0, f'a trusted server: status {status}: {err}')
        check(received(controller.take()) == message(2), 'the bytes through TLS')

        status, _, err = wine(CLI, 'send', '4', '--port', f'rfc2217+tls://127.0.0.1:{auth_port}', '--server-cert',
                              windows(folder / 's.crt'), '--client-cert', windows(folder / 'c.crt'), '--client-key',
                              windows(folder / 'c.key'))
        check(status == 4 and 'não conseguiu usar o certificado deste computador' in err,
              f'a client certificate under Wine: status {status}: {err}')
        check(received(controller.take()) == b'', 'nothing written without the client certificate')
    finally:
        for server in (plain_tls, client_auth):
            server.terminate()
            server.wait(5)
        shutil.rmtree(folder)


def xdotool(*arguments):
    return subprocess.run(['xdotool', *arguments], env=ENV, capture_output=True, text=True).stdout


def shown_window(window, title):
    """The X window of that title, once the program shows it; it must stay
    up through the start-up (a worker thread's end once took it down)."""
    deadline = time.monotonic() + 30
    found = []
    while not found and time.monotonic() < deadline and window.poll() is None:
        found = xdotool('search', '--onlyvisible', '--name', title).split()
        time.sleep(0.2)
    time.sleep(1)
    check(found and window.poll() is None,
          f'no window "{title}" ({finished(window)[2] if window.poll() is not None else "running"})')
    return found[0]


def test_window_programs_radio_2(controller):
    window = wine(STAGE / 'zelqon.exe', wait=False)
    try:
        found = [shown_window(window, '^ZELQON$')]
        geometry = dict(re.findall(r'(\w+)=(-?\d+)', xdotool('getwindowgeometry', '--shell', found[0])))
        x, y, width, height = (int(geometry[key]) for key in ('X', 'Y', 'WIDTH', 'HEIGHT'))
        # The fixed area is 697 x 359 pixels, below the menu bar.
        check(width == 697 and 359 < height < 400, f'window of {width} x {height}')
        top = y + height - 359
        subprocess.run(['import', '-window', 'root', SHOT], env=ENV, check=False)
        controller.take()
        for where in ((24 + 649 * 3 // 8, 88 + 17), (72 + 112, 264 + 16)):  # tab "RÁDIO 2", then EnviaR2
            xdotool('mousemove', str(x + where[0]), str(top + where[1]), 'click', '1')
            time.sleep(0.5)
        check(received(controller.take(settle=1)) == message(2), 'radio 2 on the line, once')
        xdotool('mousemove', str(x + 504 + 84), str(top + 320 + 12), 'click', '1')  # Botao_Sair
        window.wait(15)
        check(window.returncode == 0, f'the exit button ended it with status {window.returncode}')
    finally:
        wineserver('-k')  # the window's Windows process outlives its wine launcher
        wineserver('-p')


def test_installer_installs_and_removes_everything(controller):
    path_before = registry(ENVIRONMENT_KEY, 'Path')
    status, _, err = wine(INSTALLER, '/S', timeout=120)
    check(status == 0, f'installer status {status}: {err}')
    staged = sorted(str(p.relative_to(STAGE)) for p in STAGE.rglob('*') if p.is_file())
    installed = sorted(str(p.relative_to(INSTALLED)) for p in INSTALLED.rglob('*') if p.is_file())
    check(installed == sorted(staged + ['Desinstalar.exe']), f'installed: {installed}')
    check(SHORTCUT.exists(), 'Start menu entry ZELQON')
    check(registry(r'HKLM\Software\Classes\.zelqon', '') == 'ZELQON.PerfilDeSite', '.zelqon associated')
    command = registry(r'HKLM\Software\Classes\ZELQON.PerfilDeSite\shell\open\command', '')
    check(command == r'"C:\Program Files\ZELQON\zelqon.exe" "%1"', f'open command: {command}')
    check(registry(r'HKLM\Software\Classes\ZELQON.PerfilDeSite\DefaultIcon', '') ==
          r'C:\Program Files\ZELQON\zelqon.exe,0', 'icon of .zelqon files')
    wineserver('-k')  # a new session reads the new Path
    wineserver('-p')
    status, out, err = wine('cmd', '/c', 'zelqon-cli', '--version')
    check(status == 0 and b'1.' in out, f'zelqon-cli from a command prompt: {status} {out!r} {err}')
    # A double-click runs the file type's command on the profile.
    folder = pathlib.Path(tempfile.mkdtemp())
    shutil.copy(STAGE / 'exemplo.zelqon', folder / 'pico.zelqon')
    profile = 'Z:' + str(folder / 'pico.zelqon').replace('/', '\\')
    window = wine(command.split('"')[1], profile, wait=False)  # the program the command names
    shown_window(window, '^pico.zelqon — ZELQON$')
    wineserver('-k')
    wineserver('-p')
    shutil.rmtree(folder)

    status, _, err = wine(INSTALLED / 'Desinstalar.exe', '/S', timeout=120)
    check(status == 0, f'uninstaller status {status}: {err}')
    deadline = time.monotonic() + 30  # it goes on from a copy of itself
    while INSTALLED.exists() and time.monotonic() < deadline:
        time.sleep(0.2)
    left = [str(p) for p in INSTALLED.rglob('*')] if INSTALLED.exists() else []
    check(not INSTALLED.exists(), f'left behind: {left}')
    check(not SHORTCUT.exists(), 'Start menu entry left behind')
    check(registry(r'HKLM\Software\Classes\.zelqon', '') is None, '.zelqon left associated')
    check(registry(r'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\ZELQON', 'DisplayName') is None,
          'uninstall entry left behind')
    check(registry(ENVIRONMENT_KEY, 'Path') == path_before,
          f'Path: {registry(ENVIRONMENT_KEY, "Path")!r} instead of {path_before!r}')


def start_display():
    """A private X display for every Windows program of the run: Wine's
    desktop process, started by the first of them, keeps the display it met."""
    number = next(n for n in range(90, 200) if not pathlib.Path(f'/tmp/.X11-unix/X{n}').exists())
    xvfb = subprocess.Popen(['Xvfb', f':{number}', '-screen', '0', '1024x768x24', '-nolisten', 'tcp'],
                            stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    deadline = time.monotonic() + 10
    while not pathlib.Path(f'/tmp/.X11-unix/X{number}').exists() and time.monotonic() < deadline:
        time.sleep(0.05)
    ENV['DISPLAY'] = f':{number}'
    return xvfb


def main():
    xvfb = start_display()
    wineserver('-k')  # a server started before knows no display
    controller = Controller()
    map_ports(controller)
    wanted = sys.argv[4:]  # names of tests to run alone
    tests = [(name, test) for name, test in globals().items()
             if name.startswith('test_') and (not wanted or name in wanted)]
    passed = failed = 0
    for name, test in tests:
        controller.take(settle=0)
        started = time.monotonic()
        try:
            test(controller)
            passed += 1
            print(f'PASS   : {name} ({time.monotonic() - started:.1f} s)', flush=True)
        except Exception as error:  # every failure is told, and the next test runs
            failed += 1
            print(f'FAIL!  : {name}: {error}', flush=True)
    wineserver('-k')
    xvfb.terminate()
    print(f'{passed} passed, {failed} failed')
    return 1 if failed else 0


if __name__ == '__main__':
    sys.exit(main())

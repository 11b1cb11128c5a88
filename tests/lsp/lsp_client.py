"""A Language Server Protocol client for tests: starts a server on pipes and
speaks JSON-RPC with Content-Length framing to it.

    client = LspClient(argv, cwd=None)            # starts the server
    client.request(method, params, timeout=10)    # -> result; raises LspError
    client.notify(method, params)
    client.wait_notification(method, timeout=10)  # -> params of the next one
    client.close()                                # shutdown + exit -> status

For hostile framing there are raw helpers: send_raw(bytes) writes bytes as
they are, send_body(bytes) frames a body of any bytes, next_message(timeout)
gives the next message of any kind, and wait_exit(timeout) the exit status
without saying goodbye first.
"""

import json
import queue
import subprocess
import threading
import time


class LspError(Exception):
    """An error response: `code` and `message` as the server sent them."""

    def __init__(self, code, message, data=None):
        super().__init__(f"{code}: {message}")
        self.code = code
        self.message = message
        self.data = data


class LspTimeout(Exception):
    pass


def frame(body):
    """`body` (bytes) with its header block."""
    return b"Content-Length: %d\r\n\r\n" % len(body) + body


class LspClient:
    def __init__(self, argv, cwd=None, read_stderr=True):
        self.process = subprocess.Popen(
            argv, cwd=cwd, stdin=subprocess.PIPE, stdout=subprocess.PIPE,
            stderr=subprocess.PIPE)
        self._next_id = 0
        self._messages = queue.Queue()   # everything the server sent, in order
        self._responses = {}             # id -> message, not yet claimed
        self._notifications = []         # (method, params), not yet claimed
        self._lock = threading.Lock()
        self.stderr = b""
        self._reader = threading.Thread(target=self._read_stdout, daemon=True)
        self._reader.start()
        # A client that never reads standard error leaves it to fill up.
        self._err_reader = None
        if read_stderr:
            self._err_reader = threading.Thread(target=self._read_stderr, daemon=True)
            self._err_reader.start()

    # -- the stream ------------------------------------------------------

    def _read_stdout(self):
        out = self.process.stdout
        try:
            while True:
                length = None
                while True:
                    line = out.readline()
                    if not line:
                        return
                    line = line.rstrip(b"\r\n")
                    if not line:
                        break
                    name, _, value = line.partition(b":")
                    if name.strip().lower() == b"content-length":
                        length = int(value.strip())
                if length is None:
                    self._messages.put({"_bad_frame": True})
                    continue
                body = out.read(length)
                if len(body) < length:
                    return
                self._messages.put(json.loads(body.decode("utf-8")))
        finally:
            self._messages.put(None)

    def _read_stderr(self):
        while True:
            chunk = self.process.stderr.read1(65536)
            if not chunk:
                return
            self.stderr += chunk

    def send_raw(self, data):
        """Writes `data` (bytes) to the server as it is."""
        self.process.stdin.write(data)
        self.process.stdin.flush()

    def send_body(self, body):
        """Frames `body` (bytes or str) and writes it."""
        if isinstance(body, str):
            body = body.encode("utf-8")
        self.send_raw(frame(body))

    def send(self, message):
        self.send_body(json.dumps(message).encode("utf-8"))

    def next_message(self, timeout=10):
        """The next message the server sent that nobody has claimed; None
        when its output ended."""
        deadline = time.monotonic() + timeout
        while True:
            try:
                message = self._messages.get(timeout=max(0.0, deadline - time.monotonic()))
            except queue.Empty:
                raise LspTimeout(f"no message from the server within {timeout}s")
            return message

    def _pump_until(self, done, timeout, what):
        deadline = time.monotonic() + timeout
        while True:
            found = done()
            if found is not None:
                return found
            remaining = deadline - time.monotonic()
            if remaining <= 0:
                raise LspTimeout(f"no {what} within {timeout}s")
            try:
                message = self._messages.get(timeout=remaining)
            except queue.Empty:
                continue
            if message is None:
                self._messages.put(None)
                found = done()
                if found is not None:
                    return found
                raise LspTimeout(f"the server ended before {what}")
            if "id" in message and "method" not in message:
                self._responses[json.dumps(message["id"])] = message
            elif "method" in message:
                self._notifications.append((message["method"], message.get("params")))

    # -- the protocol ----------------------------------------------------

    def request(self, method, params, timeout=10):
        self._next_id += 1
        request_id = self._next_id
        message = {"jsonrpc": "2.0", "id": request_id, "method": method}
        if params is not None:
            message["params"] = params
        self.send(message)
        return self.response(request_id, timeout)

    def response(self, request_id, timeout=10):
        """The result of the request with `request_id`; raises LspError."""
        key = json.dumps(request_id)
        message = self._pump_until(lambda: self._responses.pop(key, None), timeout,
                                   f"response to {request_id}")
        if "error" in message:
            error = message["error"]
            raise LspError(error.get("code"), error.get("message"), error.get("data"))
        return message.get("result")

    def notify(self, method, params):
        message = {"jsonrpc": "2.0", "method": method}
        if params is not None:
            message["params"] = params
        self.send(message)

    def wait_notification(self, method, timeout=10):
        def take():
            for i, (name, params) in enumerate(self._notifications):
                if name == method:
                    del self._notifications[i]
                    return params if params is not None else {}
            return None
        return self._pump_until(take, timeout, f"notification {method}")

    def initialize(self, capabilities=None, timeout=10):
        result = self.request("initialize", {
            "processId": None, "rootUri": None,
            "capabilities": capabilities if capabilities is not None else {}}, timeout)
        self.notify("initialized", {})
        return result

    def wait_exit(self, timeout=10):
        """The server's exit status, once it ends by itself."""
        try:
            return self.process.wait(timeout=timeout)
        finally:
            self._reader.join(timeout=5)
            if self._err_reader:
                self._err_reader.join(timeout=5)
            for pipe in (self.process.stdin, self.process.stdout, self.process.stderr):
                try:
                    pipe.close()
                except OSError:
                    pass

    def close(self, timeout=10):
        """shutdown, then exit; returns the exit status."""
        try:
            self.request("shutdown", None, timeout)
            self.notify("exit", None)
            self.process.stdin.close()
        except (BrokenPipeError, LspTimeout):
            self.process.kill()
        return self.wait_exit(timeout)

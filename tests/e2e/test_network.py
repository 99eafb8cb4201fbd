"""Playing together, end to end with real input: a server on loopback and
two players in windows of their own dig and build in one world; each ends
with the server's checksum, the server's file keeps both players' edits
and where they stood, and a returning name starts where it left. A player
killed mid-session, or datagrams from nowhere, leave the other playing."""
import os
import random
import re
import shutil
import signal
import socket
import sqlite3
import zlib

import unittest

from harness import (LINUX_BUILD, TIMEOUT, WINDOWS, DisplayPerTest, Program, VirtualDisplay, make_workdir,
                     settings_text, wait_for)

SETTINGS = settings_text(480, 360)
SEED = {"VELDMARROW_SEED": "20261211"}
PLANKS = 5


def free_udp_port():
    with socket.socket(socket.AF_INET, socket.SOCK_DGRAM) as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def line_starting(p, prefix):
    def found():
        lines = [l for l in p.log() if l.startswith(prefix)]
        if lines:
            return lines[-1]
        if p.process.poll() is not None:
            raise AssertionError("program ended (%s) without a line starting %r: %s"
                                 % (p.process.returncode, prefix, p.errors()))
        return None
    return wait_for(found, TIMEOUT, what="a line starting %r" % prefix)


class NetworkTest(DisplayPerTest):
    def setUp(self):
        super().setUp()
        self.folder = make_workdir(SETTINGS)
        self.addCleanup(shutil.rmtree, self.folder, ignore_errors=True)
        # The server keeps its world, and its logs, in a folder of their own.
        self.served = os.path.join(self.folder, "served")
        os.mkdir(self.served)
        self.world = os.path.join(self.served, "shared.world")
        self.port = free_udp_port()
        self.second = VirtualDisplay()
        self.addCleanup(self.second.stop)

    @staticmethod
    def build(linux):
        """The program under test, or this machine's own Linux build beside it."""
        return dict(binary=os.path.join(LINUX_BUILD, "veldmarrow"), runner=[]) if linux else {}

    def serve(self, linux=False):
        server = Program(None, workdir=self.folder, env=SEED, logs=self.served,
                         args=["--serve", os.path.join("served", "shared.world"), "--port", str(self.port)],
                         **self.build(linux))
        self.addCleanup(server.close)
        line_starting(server, "Serving world ")
        return server

    def join(self, display, name, linux=False):
        p = Program(display, settings=SETTINGS, args=["--join", "127.0.0.1:%d" % self.port, "--name", name],
                    **self.build(linux))
        self.addCleanup(p.close)
        p.wait_splash()
        try:
            p.enter_play("x")
        except AssertionError as e:  # the reason a join ended is in error.txt
            raise AssertionError("%s: %s" % (e, p.errors())) from None
        p.wait_frames(3)
        return p

    def stop(self, server):
        server.process.send_signal(signal.SIGTERM)
        self.assertEqual(server.wait_exit(), 0, server.errors())
        return line_starting(server, "Server stopped: world checksum ").rsplit(" ", 1)[1]

    def leave(self, p):
        p.display.run("xdotool", "key", "Escape")
        self.assertEqual(p.wait_exit(), 0, p.errors())
        left = line_starting(p, "Left the server: ")
        mine, theirs = re.match(r"Left the server: world checksum (\w+), the server's (\w+)", left).groups()
        self.assertEqual(mine, theirs, left)
        return mine

    @unittest.skipUnless(LINUX_BUILD, "another platform's build beside this machine's (Windows and ARM64 stages)")
    def test_a_player_and_a_server_of_another_platform_share_a_world_with_linux_x86_64(self):
        # This build's player builds in a Linux x86-64 server's world (few
        # frames: under emulation one takes about a second)...
        server = self.serve(linux=True)
        p = self.join(self.display, "Mirra")
        p.hold("space", 20)
        p.look(0, 1300, max_step=150)
        p.key("5")
        p.display.run("xdotool", "click", "3")
        p.wait_frames(5)
        self.assertEqual(self.leave(p), self.stop(server))
        db = sqlite3.connect("file:%s?mode=ro" % self.world, uri=True)
        try:
            self.assertEqual(db.execute("SELECT name FROM named_player").fetchall(), [("Mirra", )])
        finally:
            db.close()
        # ...then serves that world to a Linux x86-64 player, who digs in it.
        server = self.serve()
        q = self.join(self.second, "Tovi", linux=True)
        q.look(0, 400, max_step=40)
        q.dig(10)
        q.wait_frames(5)
        left = self.leave(q)
        line_starting(server, "Player left: Tovi")
        if WINDOWS:  # under Wine no signal from outside reaches the program
            server.close()
        else:
            self.assertEqual(self.stop(server), left)

    def test_two_players_share_one_world_that_the_server_keeps(self):
        server = self.serve()
        mirra = self.join(self.display, "Mirra")
        self.assertIn("starting at the usual start", line_starting(mirra, "Joined the server as player "))
        mirra.hold("space", 200)
        mirra.look(0, 1300, max_step=60)  # straight down
        mirra.key("5")
        for _ in range(3):
            mirra.display.run("xdotool", "click", "3")
            mirra.wait_frames(3)
        tovi = self.join(self.second, "Tovi")
        line_starting(mirra, "Player joined: Tovi")
        tovi.look(0, 400, max_step=40)
        tovi.dig(20)
        tovi.wait_frames(10)
        self.leave(mirra)
        line_starting(tovi, "Player left: Mirra")
        last = self.leave(tovi)
        line_starting(server, "Player left: Tovi")
        self.assertEqual(self.stop(server), last)

        db = sqlite3.connect("file:%s?mode=ro" % self.world, uri=True)
        try:
            (checksum, ) = db.execute("SELECT checksum FROM world").fetchone()
            names = sorted(n for (n, ) in db.execute("SELECT name FROM named_player"))
            chunks = db.execute("SELECT count(*) FROM chunk").fetchone()[0]
        finally:
            db.close()
        self.assertEqual("%016x" % (checksum % (1 << 64)), last)
        self.assertEqual(names, ["Mirra", "Tovi"])
        self.assertGreater(chunks, 1)  # the column and the dug hole

        # A returning name starts where it left.
        server = self.serve()
        again = self.join(self.display, "Mirra")
        self.assertIn("where this name left", line_starting(again, "Joined the server as player "))
        self.leave(again)
        self.stop(server)

    def test_a_killed_player_and_random_datagrams_leave_the_other_playing(self):
        server = self.serve()
        mirra = self.join(self.display, "Mirra")
        tovi = self.join(self.second, "Tovi")
        line_starting(mirra, "Player joined: Tovi")
        tovi.process.kill()
        tovi.process.wait()
        line_starting(mirra, "Player left: Tovi")
        # Whatever arrives at the port from elsewhere is no connection.
        rng = random.Random(20261211)
        with socket.socket(socket.AF_INET, socket.SOCK_DGRAM) as s:
            for n in range(2000):
                s.sendto(bytes(rng.randrange(256) for _ in range(rng.randrange(1, 1400))), ("127.0.0.1", self.port))
        self.assertIsNone(server.process.poll())
        mirra.dig(10)
        mirra.wait_frames(5)
        self.assertEqual(self.leave(mirra), self.stop(server))

    def test_a_server_killed_and_started_again_keeps_what_it_saved_and_its_player_joins_again(self):
        server = self.serve()
        mirra = self.join(self.display, "Mirra")
        mirra.hold("space", 200)
        mirra.look(0, 1300, max_step=60)
        mirra.key("5")
        mirra.display.run("xdotool", "click", "3")
        line_starting(server, "World saved: ")  # the placement is committed
        server.process.kill()
        server.process.wait()
        server = self.serve()
        line_starting(mirra, "Veldmarrow: the connection to the server was lost")
        wait_for(lambda: len([l for l in mirra.log() if l.startswith("Joined the server as player ")]) == 2,
                 TIMEOUT, what="joining again")
        mirra.wait_frames(5)
        self.assertEqual(self.leave(mirra), self.stop(server))
        db = sqlite3.connect("file:%s?mode=ro" % self.world, uri=True)
        try:
            blobs = [zlib.decompress(b) for (b, ) in db.execute("SELECT voxels FROM chunk")]
        finally:
            db.close()
        self.assertTrue(any(PLANKS in blob for blob in blobs), "the committed placement was lost")

    def test_refusals_end_the_join_with_their_status_and_reason(self):
        # Nobody serves the port: unreachable, within seconds.
        p = Program(self.display, settings=SETTINGS, args=["--join", "127.0.0.1:%d" % self.port])
        self.addCleanup(p.close)
        p.wait_splash()
        p.key("x")
        self.assertEqual(p.wait_exit(), 14)
        self.assertIn("cannot reach the server", p.errors()[-1])

        server = self.serve()
        mirra = self.join(self.display, "Mirra")
        twin = Program(self.second, settings=SETTINGS, args=["--join", "127.0.0.1:%d" % self.port, "--name", "Mirra"])
        self.addCleanup(twin.close)
        twin.wait_splash()
        twin.key("x")
        self.assertEqual(twin.wait_exit(), 15)
        self.assertIn("refused: a player named Mirra is playing", twin.errors()[-1])
        self.assertIn("the name Mirra is in use", line_starting(server, "Refused connection "))
        self.leave(mirra)
        self.stop(server)

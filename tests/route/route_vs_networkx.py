#!/usr/bin/python3
"""vantry-cli's routes and work-zone detours checked against networkx.

The networks are street grids made here from a fixed seed (one-way streets, parallel links, links
that cannot be driven, surveyed lengths), a real city populated from OpenStreetMap, a freeway with
frontage roads and the bundled sample. Each file is read again here, by a reader of the text
format of its own, into a networkx graph weighted by free-flow minutes, and every route and detour
vantry-cli prints is held against the optimum networkx finds.

    route_vs_networkx.py VANTRY_CLI EXAMPLES_DIR STREET_DATA_DIR [--keep DIR] [--pairs N]
                         [--seed S]

On a failure the files and the commands that show it are kept (in a temporary folder, or DIR).
Debian's python3 and python3-networkx run it.
"""

import argparse
import math
import os
import random
import re
import shutil
import struct
import subprocess
import sys
import tempfile

import networkx as nx

TOLERANCE = 2e-3  # three decimals printed, and the sums of floats behind them
TYPES = ["M", "WZ", "D1", "D2", "R", ""]
TYPE_NAMES = {"M": "M", "WZ": "WZ", "D1": "D1", "D2": "D2", "R": "R", "": "None"}
EXIT_NO_ROUTE = 4
EXIT_REFUSED = 5
# Far more than any route's minutes: a count of shared links always outweighs time.
SHARE_WEIGHT = 1e6

failures = []


def fail(message):
    failures.append(message)
    print("FAIL: " + message, file=sys.stderr)


# ---- The network text format, read independently -------------------------------------------------


def f32(v):
    return struct.unpack("f", struct.pack("f", v))[0]


UNROUNDED = None  # a number no file wrote


def written_decimals(text):
    m = re.match(r"\s*[+-]?(\d*)(?:\.(\d*))?(?:[eE]([+-]?\d+))?", text)
    decimals = len(m.group(2) or "")
    if m.group(3):
        decimals -= int(m.group(3))
    return max(0, min(decimals, 1000))


def half_unit(decimals):
    if decimals is UNROUNDED or decimals >= 300:
        return 0.0
    return 0.5 * 10.0 ** -decimals


class Link:
    __slots__ = ("id", "frm", "to", "lanes", "capacity", "speed", "type", "miles", "minutes")


class Network:
    """Nodes (1-based) and links (1-based) of a network text file."""

    def __init__(self, path):
        with open(path, encoding="utf-8", errors="replace") as f:
            lines = f.read().split("\n")
        if lines[0].rstrip("\r") != "KX101":
            raise ValueError(f"{path}: not a network text file")
        self.nodes = [None]
        self.node_decimals = [None]
        k = 1
        while lines[k].rstrip("\r") != "EndNodes":
            parts = lines[k].split()
            xy = [f32(float(p)) for p in parts[:2]] + [0.0] * (2 - len(parts[:2]))
            dec = [written_decimals(p) for p in parts[:2]] + [UNROUNDED] * (2 - len(parts[:2]))
            self.nodes.append(tuple(xy))
            self.node_decimals.append(tuple(dec))
            k += 1
        self.links = [None]
        k += 1
        while lines[k].rstrip("\r") != "EndLinks":
            line = lines[k].rstrip("\r")
            k += 1
            if not line.strip():
                continue
            self.links.append(self._link(line, len(self.links)))

    def _link(self, line, ident):
        m = re.match(r"\s*(\S+)\s+(\S+)\s+(\S+)\s+(\S+)\s+(\S+)\s+(\S+)\s+(\S+)(.*)$", line)
        if not m:
            raise ValueError(f"link {ident}: expected every field in {line!r}")
        link = Link()
        link.id = ident
        link.frm, link.to, link.lanes, link.capacity = (int(m.group(i)) for i in range(1, 5))
        link.speed = int(m.group(6))
        rest = m.group(8).lstrip(" \t")
        link.type = ""
        if rest:
            rest = rest[1:]  # the direction code
            if rest.startswith(" "):
                rest = rest[1:]
            code = rest.split(" ", 1)[0]
            link.type = code if code in TYPES else ""
        link.miles = self._effective_length(link, m.group(5))
        passable = link.speed > 0 and link.lanes > 0
        link.minutes = max(0.0, link.miles) / link.speed * 60.0 if passable else math.inf
        return link

    def _effective_length(self, link, text):
        """The length field, or the node distance when the field is that distance as written."""
        (ax, ay), (bx, by) = self.nodes[link.frm], self.nodes[link.to]
        automatic = f32(math.sqrt((ax - bx) ** 2 + (ay - by) ** 2))
        v = f32(float(text))
        tolerance = half_unit(written_decimals(text))
        magnitudes = abs(v)
        if link.frm != link.to:
            for n in (link.frm, link.to):
                dx, dy = (half_unit(d) for d in self.node_decimals[n])
                tolerance += math.sqrt(dx * dx + dy * dy)
                magnitudes += abs(self.nodes[n][0]) + abs(self.nodes[n][1])
        tolerance += magnitudes * 2.0**-23
        stored = v if abs(v - automatic) > max(tolerance, 1e-4) else -1.0
        return stored if stored >= 0 else automatic

    def passable(self, ident):
        return self.links[ident].minutes != math.inf

    def graph(self, blocked=(), weight=None):
        """Drivable links not blocked, weighted by minutes (or by weight(link))."""
        g = nx.MultiDiGraph()
        g.add_nodes_from(range(1, len(self.nodes)))
        for link in self.links[1:]:
            if link.minutes != math.inf and link.id not in blocked:
                w = weight(link) if weight else link.minutes
                g.add_edge(link.frm, link.to, key=link.id, weight=w)
        return g

    def typed(self, types):
        return {link.id for link in self.links[1:] if link.type in types}


def fastest(graph, frm, to):
    try:
        return nx.dijkstra_path_length(graph, frm, to, weight="weight")
    except nx.NetworkXNoPath:
        return None


# ---- Files made here -----------------------------------------------------------------------------


def write_network(path, nodes, links):
    """nodes: (x, y); links: (from, to, lanes, capacity, length text, speed, type, description)."""
    out = ["KX101"]
    out += [f"{x:.3f} {y:.3f}" for x, y in nodes]
    out.append("EndNodes")
    for frm, to, lanes, cap, length, speed, kind, desc in links:
        out.append(f"{frm} {to} {lanes} {cap} {length} {speed} 190 I {kind} {desc}")
    out += ["EndLinks", "", "0.000 0.000 0.000 0.000", ""]
    with open(path, "w", encoding="utf-8") as f:
        f.write("\n".join(out))


def grid_network(path, rng, cols, rows, closed):
    """A jittered street grid: two-way and one-way streets, missing blocks, a few diagonals and
    express links, parallel links, a loop on a node, links of no speed or no lanes (about
    `closed` of them), surveyed and automatic lengths, one node with no links."""
    nodes = []
    for r in range(rows):
        for c in range(cols):
            nodes.append((round(c * 0.2 + rng.uniform(-0.04, 0.04), 3),
                          round(r * 0.2 + rng.uniform(-0.04, 0.04), 3)))
    at = lambda c, r: r * cols + c + 1  # noqa: E731
    links = []

    def add(a, b, kind=None, speed=None):
        lanes = rng.randint(1, 4)
        speed = speed if speed is not None else rng.choice(range(20, 75, 5))
        if rng.random() < closed:
            if rng.random() < 0.5:
                speed = 0
            else:
                lanes = 0
        (ax, ay), (bx, by) = nodes[a - 1], nodes[b - 1]
        distance = math.hypot(ax - bx, ay - by)
        pick = rng.random()
        if pick < 0.6:
            length = f"{distance:.3f}"
        elif pick < 0.85:
            length = f"{distance * 1.3 + 0.05:.3f}"
        elif pick < 0.95:
            length = f"{rng.uniform(0.0, 0.6):.4f}"
        else:
            length = "0.000"
        links.append((a, b, lanes, 1800 * lanes, length, speed,
                      kind if kind is not None else rng.choice(TYPES), f"street {len(links) + 1}"))

    for r in range(rows):
        for c in range(cols):
            for dc, dr in ((1, 0), (0, 1)) + (((1, 1),) if rng.random() < 0.1 else ()):
                if c + dc >= cols or r + dr >= rows or rng.random() < 0.08:
                    continue
                a, b = at(c, r), at(c + dc, r + dr)
                way = rng.random()
                if way < 0.6:
                    add(a, b)
                    add(b, a)
                elif way < 0.8:
                    add(a, b)
                else:
                    add(b, a)
    for _ in range(max(2, cols * rows // 40)):
        a, b = rng.randrange(1, len(nodes) + 1), rng.randrange(1, len(nodes) + 1)
        add(a, b, kind="M", speed=65)  # an express link over several blocks
        add(a, b)  # and a street beside it between the same nodes
    add(1, 1)
    nodes.append((-1.0, -1.0))  # reached by nothing
    write_network(path, nodes, links)


# ---- vantry-cli ----------------------------------------------------------------------------------


class Cli:
    def __init__(self, program, log):
        self.program = program
        self.log = log

    def run(self, *args):
        cmd = [self.program] + [str(a) for a in args]
        self.log.append(" ".join(cmd))
        r = subprocess.run(cmd, capture_output=True, text=True, timeout=120)
        return r.returncode, r.stdout, r.stderr, " ".join(cmd)


TOTAL = re.compile(r"^total (\d+\.\d{3}) mi (\d+\.\d{3}) min$")
DETOUR = re.compile(r"^detour (\d+):((?: \d+)*) (\d+\.\d{3}) mi (\d+\.\d{3}) min$")


def check_path(net, ids, frm, to, blocked, what):
    """ids is a connected drivable path from frm to to over no blocked link."""
    for ident in ids:
        if not 1 <= ident < len(net.links):
            fail(f"{what}: prints link {ident}, which the network does not have")
            return False
        if ident in blocked or not net.passable(ident):
            fail(f"{what}: uses link {ident}, which is avoided or cannot be driven")
            return False
    at = frm
    for ident in ids:
        if net.links[ident].frm != at:
            fail(f"{what}: link {ident} starts at node {net.links[ident].frm}, not at node {at}")
            return False
        at = net.links[ident].to
    if at != to:
        fail(f"{what}: the route ends at node {at}, not at node {to}")
        return False
    return True


def check_sums(net, ids, miles, minutes, what):
    want_miles = sum(net.links[i].miles for i in ids)
    want_minutes = sum(net.links[i].minutes for i in ids)
    if abs(want_miles - miles) > TOLERANCE or abs(want_minutes - minutes) > TOLERANCE:
        fail(f"{what}: prints {miles:.3f} mi {minutes:.3f} min, its links add up to "
             f"{want_miles:.4f} mi {want_minutes:.4f} min")


def check_route(cli, path, net, frm, to, avoid_types=(), avoid_links=()):
    args = ["route", path, frm, to]
    if avoid_types:
        args += ["--avoid-type", ",".join(TYPE_NAMES[t] for t in avoid_types)]
    if avoid_links:
        args += ["--avoid", ",".join(str(i) for i in avoid_links)]
    code, out, err, cmd = cli.run(*args)
    blocked = set(avoid_links) | net.typed(avoid_types)
    best = fastest(net.graph(blocked), frm, to)
    if best is None:
        if code != EXIT_NO_ROUTE or out:
            fail(f"{cmd}: networkx finds no route, vantry-cli exits {code} printing {out!r}")
        return None
    lines = out.splitlines()
    m = TOTAL.match(lines[-1]) if code == 0 and lines else None
    if not m:
        fail(f"{cmd}: networkx finds a route of {best:.4f} min, vantry-cli exits {code}: "
             f"{out!r} {err!r}")
        return None
    ids = [int(s) for s in lines[:-1]]
    miles, minutes = float(m.group(1)), float(m.group(2))
    if check_path(net, ids, frm, to, blocked, cmd):
        check_sums(net, ids, miles, minutes, cmd)
    if abs(minutes - best) > TOLERANCE:
        fail(f"{cmd}: {minutes:.3f} min, networkx's fastest is {best:.4f} min")
    return ids


def check_routes(cli, path, rng, pairs):
    """Random pairs, each without avoiding anything, avoiding types, and avoiding links."""
    net = Network(path)
    nodes = list(range(1, len(net.nodes)))
    counts = {"route": 0, "none": 0}
    # A route from a node to itself has no links; the last node of a grid is reached by nothing.
    last = len(net.nodes) - 1
    for frm, to in ((last, last), (1, last), (last, 1), (1, 1)):
        check_route(cli, path, net, frm, to)
    for _ in range(pairs):
        frm, to = rng.choice(nodes), rng.choice(nodes)
        ids = check_route(cli, path, net, frm, to)
        counts["route" if ids is not None else "none"] += 1
        types = rng.sample(TYPES, rng.randint(1, 2))
        check_route(cli, path, net, frm, to, avoid_types=types)
        if ids:
            # Closing links of the fastest route forces another one, or none.
            avoid = sorted(set(rng.sample(ids, max(1, len(ids) // 3))))
            check_route(cli, path, net, frm, to, avoid_links=avoid)
            check_route(cli, path, net, frm, to, avoid_types=[rng.choice(TYPES)],
                        avoid_links=avoid)
    return counts


# ---- Work zones ----------------------------------------------------------------------------------


def mainline_links(net, frm, to):
    """The Mainline and Work Zone links of the fastest such path from frm to to, and its
    minutes (None when there is none)."""
    g = net.graph(blocked=net.typed(set(TYPES) - {"M", "WZ"}))
    try:
        path = nx.dijkstra_path(g, frm, to, weight="weight")
    except nx.NetworkXNoPath:
        return set(), None
    ids = {min(g[u][v], key=lambda k: g[u][v][k]["weight"]) for u, v in zip(path, path[1:])}
    return ids, sum(net.links[i].minutes for i in ids)


def check_work_zone(cli, workdir, path, run, open_lanes, capacity, ends=None, expect_first=None,
                    second_share_at_most_half=False, wanted=2, mainline_known=True,
                    expect_ends=None):
    """Runs work-zone over run (link ids) and checks the file written and the detours printed.
    Without ends the second detour is held against networkx only where mainline_known: where the
    mainline into and out of the run is the one Mainline route."""
    net = Network(path)
    out_path = os.path.join(workdir, f"wz-{len(cli.log)}.txt")
    args = ["work-zone", path, out_path, "--links", ",".join(str(i) for i in run),
            "--open-lanes", open_lanes, "--capacity", capacity, "--detours", wanted]
    if ends:
        args += ["--from", ends[0], "--to", ends[1]]
    code, out, err, cmd = cli.run(*args)
    if code not in (0, EXIT_NO_ROUTE):
        fail(f"{cmd}: exits {code}: {err.strip()}")
        return []
    marked = Network(out_path)
    for ident in run:
        link = marked.links[ident]
        if (link.type, link.lanes, link.capacity) != ("WZ", open_lanes, capacity):
            fail(f"{cmd}: link {ident} is written as type {link.type!r}, {link.lanes} lanes, "
                 f"capacity {link.capacity}; wanted WZ, {open_lanes}, {capacity}")
    detours = []
    for line in out.splitlines():
        m = DETOUR.match(line)
        if not m or int(m.group(1)) != len(detours) + 1:
            fail(f"{cmd}: cannot read {line!r}")
            return []
        ids = [int(s) for s in m.group(2).split()]
        detours.append((ids, float(m.group(3)), float(m.group(4))))
    if len(detours) > wanted:
        fail(f"{cmd}: {len(detours)} detours printed, {wanted} asked for")
    if code == EXIT_NO_ROUTE:
        if detours:
            fail(f"{cmd}: exit 4 with detours printed")
        return []
    if not detours or not detours[0][0]:
        fail(f"{cmd}: exit 0 without a detour: {out!r}")
        return []

    first, miles, minutes = detours[0]
    frm, to = net.links[first[0]].frm, net.links[first[-1]].to
    if (ends or expect_ends) and (frm, to) != tuple(ends or expect_ends):
        fail(f"{cmd}: detour 1 runs from node {frm} to node {to}, not from {ends or expect_ends}")
    blocked = set(run)
    if check_path(net, first, frm, to, blocked, cmd + " (detour 1)"):
        check_sums(net, first, miles, minutes, cmd + " (detour 1)")
    best = fastest(net.graph(blocked), frm, to)
    if best is None or abs(best - minutes) > TOLERANCE:
        fail(f"{cmd}: detour 1 from node {frm} to node {to} takes {minutes:.3f} min; the fastest "
             f"route between them avoiding links {run} takes "
             f"{'no' if best is None else f'{best:.4f}'} min (networkx)")
    if expect_first is not None and first != expect_first:
        fail(f"{cmd}: detour 1 is {first}, expected {expect_first}")
    said = re.search(r"detour 1 runs from node (\d+) to node (\d+)(?:, (\d+\.\d{3}) min (more|less))?",
                     err)
    if not said or (int(said.group(1)), int(said.group(2))) != (frm, to):
        fail(f"{cmd}: says {said and said.group(0)!r} of detour 1 from node {frm} to node {to}")
    elif mainline_known:
        # Against the mainline from the same node to the same node, work zone included.
        mainline = mainline_links(net, frm, to)[1]
        extra = None if said.group(3) is None else float(said.group(3)) * (
            -1 if said.group(4) == "less" else 1)
        if extra is None or abs(extra - (minutes - mainline)) > TOLERANCE:
            fail(f"{cmd}: says {said.group(0)!r}; the mainline takes {mainline:.4f} min, "
                 f"detour 1 {minutes:.3f} min")
    for ident in first:
        want = net.links[ident].type if net.links[ident].type in ("R", "WZ") else "D1"
        if ident not in run and marked.links[ident].type != want:
            fail(f"{cmd}: detour 1's link {ident} is written as type "
                 f"{marked.links[ident].type!r}, not {want}")

    if len(detours) < 2:
        if second_share_at_most_half:
            fail(f"{cmd}: no second detour, though one sharing at most half exists: {err.strip()}")
        return [d[0] for d in detours]
    second, miles2, minutes2 = detours[1]
    what = cmd + " (detour 2)"
    if check_path(net, second, frm, to, blocked, what):
        check_sums(net, second, miles2, minutes2, what)
    if second == first:
        fail(f"{what}: the same route as detour 1")
    shared = len(set(first) & set(second))
    if second_share_at_most_half and shared * 2 > min(len(first), len(second)):
        fail(f"{what}: shares {shared} links with detour 1, which has {len(first)}; it has "
             f"{len(second)}")
    told = re.search(r"shares (\d+) of its (\d+) links", err)
    if not told or (int(told.group(1)), int(told.group(2))) != (shared, len(second)):
        fail(f"{what}: says {told and told.group(0)!r}, but shares {shared} of its "
             f"{len(second)} links with detour 1")
    if not ends and not mainline_known:
        return [d[0] for d in detours]
    # Fewest links of detour 1 first, then the fastest, over what detour 1 could use: not the
    # run, nor (unless the ends were given) the mainline leading into it and out of it.
    ends_of_run = {net.links[i].to for i in run}
    tails = {net.links[i].frm for i in run}
    start = next(net.links[i].frm for i in run if net.links[i].frm not in ends_of_run)
    end = next(net.links[i].to for i in run if net.links[i].to not in tails)
    approach = set()
    if not ends:
        approach = mainline_links(net, frm, start)[0] | mainline_links(net, end, to)[0]
    firsts = set(first)
    g = net.graph(blocked | approach,
                  weight=lambda link: link.minutes + (SHARE_WEIGHT if link.id in firsts else 0))
    best = fastest(g, frm, to)
    got = shared * SHARE_WEIGHT + minutes2
    if best is None or abs(best - got) > TOLERANCE:
        fail(f"{what}: shares {shared} links with detour 1 and takes {minutes2:.3f} min; "
             f"networkx's best shares {best and int(best // SHARE_WEIGHT)} and takes "
             f"{best and best % SHARE_WEIGHT} min")
    return [d[0] for d in detours]


def freeway(path, ramps=True):
    """An eastbound freeway of 13 nodes with a frontage road north of it and an arterial south,
    joined to it by ramps near its ends and to each other by cross streets. Returns the ids of
    the freeway links, west to east."""
    n = 13
    nodes = [(0.5 * k, 0.0) for k in range(n)]  # freeway 1..13
    nodes += [(0.5 * k, 0.3) for k in range(n)]  # frontage road 14..26
    nodes += [(0.5 * k, -0.5) for k in range(n)]  # arterial 27..39
    fw, fr, ar = (lambda k: k + 1), (lambda k: n + k + 1), (lambda k: 2 * n + k + 1)
    links = []

    def add(a, b, lanes, speed, kind, desc, length=None):
        (ax, ay), (bx, by) = nodes[a - 1], nodes[b - 1]
        length = length or f"{math.hypot(ax - bx, ay - by):.3f}"
        links.append((a, b, lanes, 1900 * lanes, length, speed, kind, desc))
        return len(links)

    mainline = [add(fw(k), fw(k + 1), 3, 65, "M", "I-80 EB") for k in range(n - 1)]
    for k in range(n - 1):
        add(fr(k), fr(k + 1), 1, 35, "", "Frontage Rd EB")
        add(fr(k + 1), fr(k), 1, 35, "", "Frontage Rd WB")
        add(ar(k), ar(k + 1), 2, 45, "", "Arterial EB")
        add(ar(k + 1), ar(k), 2, 45, "", "Arterial WB")
    if ramps:
        add(fw(2), fr(2), 1, 40, "R", "off-ramp north", "0.400")
        add(fr(9), fw(9), 1, 40, "R", "on-ramp north", "0.400")
        add(fw(1), ar(1), 1, 40, "R", "off-ramp south", "0.600")
        add(ar(10), fw(10), 1, 40, "R", "on-ramp south", "0.600")
    for k in range(1, n - 1):
        add(fr(k), ar(k), 1, 25, "", "cross street SB")
        add(ar(k), fr(k), 1, 25, "", "cross street NB")
    write_network(path, nodes, links)
    return mainline


def check_work_zones(cli, workdir, examples):
    sample = os.path.join(examples, "corridor-work-zone.txt")
    # The frontage-road detour of the sample, through the ramps at either end.
    check_work_zone(cli, workdir, sample, [4, 5], 1, 1500, expect_first=[25, 17, 19, 21, 23, 26])
    check_work_zone(cli, workdir, sample, [5, 4], 2, 1700, wanted=1)
    check_work_zone(cli, workdir, sample, [4, 5], 1, 1500, ends=(3, 7))

    road = os.path.join(workdir, "freeway.txt")
    mainline = freeway(road)
    # The nearest ramps around the work zone are the northern ones, from node 3 to node 10.
    for run in (mainline[5:7], mainline[4:5]):
        check_work_zone(cli, workdir, road, run, 2, 1600, second_share_at_most_half=True,
                        expect_ends=(3, 10))
    check_work_zone(cli, workdir, road, mainline[3:8], 2, 1600, ends=(2, 10),
                    second_share_at_most_half=True)

    # Links that are not one run are refused and nothing is written.
    for links in ([mainline[2], mainline[4]], [mainline[3], mainline[3]]):
        out_path = os.path.join(workdir, "refused.txt")
        code, _, err, cmd = cli.run("work-zone", road, out_path, "--links",
                                    ",".join(map(str, links)))
        if code != EXIT_REFUSED or os.path.exists(out_path) or not err:
            fail(f"{cmd}: exits {code}, wanted {EXIT_REFUSED} and no file written")

    # No ramps: no detour, exit 4, the work zone still marked.
    closed = os.path.join(workdir, "freeway-no-ramps.txt")
    mainline = freeway(closed, ramps=False)
    check_work_zone(cli, workdir, closed, mainline[5:7], 2, 1600)
    code, *_ = cli.run("work-zone", closed, os.path.join(workdir, "x.txt"), "--links",
                       mainline[5])
    if code != EXIT_NO_ROUTE:
        fail(f"work-zone on a freeway without ramps exits {code}, not {EXIT_NO_ROUTE}")


def check_street_work_zones(cli, workdir):
    """A town of two-way streets, nothing typed: a work zone on any block has a detour around
    that block, between the block's own ends, wherever the block lies."""
    n = 5
    nodes = [(0.1 * c, 0.1 * r) for r in range(n) for c in range(n)]
    links = []
    for a in range(1, n * n + 1):
        for b in (a + 1, a + n):
            if (b == a + 1 and a % n == 0) or b > n * n:
                continue
            links += [(a, b, 1, 900, "0.100", 30, "", "street"),
                      (b, a, 1, 900, "0.100", 30, "", "street")]
    path = os.path.join(workdir, "streets.txt")
    write_network(path, nodes, links)
    for ident, (a, b, *_) in enumerate(links, 1):
        check_work_zone(cli, workdir, path, [ident], 1, 900, wanted=1, mainline_known=False,
                        expect_ends=(a, b))


def check_grid_work_zones(cli, workdir, path, rng, count):
    """Work zones over pieces of routes across a grid: the detour, moved along the mainline or
    between the nodes given, is a fastest route avoiding the work zone."""
    net = Network(path)
    nodes = list(range(1, len(net.nodes)))
    done = 0
    for _ in range(count * 10):
        if done >= count:
            break
        frm, to = rng.choice(nodes), rng.choice(nodes)
        g = net.graph()
        try:
            path_nodes = nx.dijkstra_path(g, frm, to, weight="weight")
        except nx.NetworkXNoPath:
            continue
        ids = [min(g[u][v], key=lambda k: g[u][v][k]["weight"])
               for u, v in zip(path_nodes, path_nodes[1:])]
        if len(ids) < 3:
            continue
        k = rng.randrange(1, len(ids) - 1)
        run = ids[k:k + rng.randint(1, 2)]
        check_work_zone(cli, workdir, path, run, 1, 1000, mainline_known=False)
        check_work_zone(cli, workdir, path, run, 1, 1000, ends=(frm, to), mainline_known=False)
        done += 1
    return done


def main():
    p = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    p.add_argument("cli")
    p.add_argument("examples")
    p.add_argument("streets")
    p.add_argument("--keep")
    p.add_argument("--pairs", type=int, default=30)
    p.add_argument("--seed", type=int, default=20261208)
    a = p.parse_args()
    workdir = a.keep or tempfile.mkdtemp(prefix="route-vs-networkx-")
    os.makedirs(workdir, exist_ok=True)
    log = []
    cli = Cli(a.cli, log)
    rng = random.Random(a.seed)

    for name, cols, rows, closed in (("small", 8, 6, 0.1), ("grid", 25, 20, 0.05),
                                     ("sparse", 15, 15, 0.35)):
        path = os.path.join(workdir, f"{name}.txt")
        grid_network(path, rng, cols, rows, closed)
        counts = check_routes(cli, path, rng, a.pairs)
        zones = check_grid_work_zones(cli, workdir, path, rng, a.pairs // 5)
        print(f"{name} grid: {counts['route']} routes, {counts['none']} without one, "
              f"{zones} work zones")

    for source in ("west-oakland.osm.bz2", "bavaria-village.osm"):
        city = os.path.join(workdir, source.split(".")[0] + ".txt")
        code, _, err, cmd = cli.run("populate", os.path.join(a.streets, source), city,
                                    "--classes", "all")
        if code != 0:
            fail(f"{cmd}: exits {code}: {err.strip()}")
            continue
        counts = check_routes(cli, city, rng, a.pairs * 2)
        print(f"{source}: {len(Network(city).links) - 1} links, {counts['route']} routes, "
              f"{counts['none']} without one")

    check_work_zones(cli, workdir, a.examples)
    check_street_work_zones(cli, workdir)

    print(f"{len(log)} runs of vantry-cli")
    if failures:
        with open(os.path.join(workdir, "commands.txt"), "w", encoding="utf-8") as f:
            f.write("\n".join(log) + "\n")
        print(f"{len(failures)} failures; the files and commands are in {workdir}",
              file=sys.stderr)
        return 1
    if not a.keep:
        shutil.rmtree(workdir)
    return 0


if __name__ == "__main__":
    sys.exit(main())

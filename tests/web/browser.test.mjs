// SPDX-License-Identifier: MIT
// varnhold.html in headless Chromium, opened from file:// with every network
// request blocked: files are set on the page's input through the DevTools
// protocol (over --remote-debugging-pipe) and the saved bytes checked.
import assert from "node:assert/strict";
import { spawn } from "node:child_process";
import { createHash } from "node:crypto";
import * as fs from "node:fs";
import { join } from "node:path";
import { setTimeout as sleep } from "node:timers/promises";
import { after, before, test } from "node:test";

// Chromium's profile and temporary files, the files set on the page and the
// saved ones live in the build folder: a run that is killed leaves nothing in
// the system's temporary folder, and the next run starts it afresh.
const work = join(process.env.VARNHOLD_WEB_BUILD, "browser-test");
fs.rmSync(work, { recursive: true, force: true });
fs.mkdirSync(join(work, "tmp"), { recursive: true });
const MiB = 2 ** 20;
// Every wait ends well before CTest's limit for the whole file (600 s).
const LIMIT_MS = 120_000;
const flags = ["--headless", "--remote-debugging-pipe", `--user-data-dir=${work}/profile`, "--no-first-run"];
flags.push("--host-resolver-rules=MAP * ~NOTFOUND", "--disable-background-networking", "--disable-component-update");
if (process.getuid() === 0) flags.push("--no-sandbox");
const chromium = spawn("/usr/bin/chromium", flags, {
  stdio: ["ignore", "ignore", "pipe", "pipe", "pipe"],
  env: { ...process.env, TMPDIR: join(work, "tmp") },
});
let stderr = "";
chromium.stderr.setEncoding("utf8").on("data", (text) => (stderr = (stderr + text).slice(-16_384)));
const exited = new Promise((resolve) => {
  chromium.on("exit", (code, signal) => resolve(`Chromium exited (${signal ?? `code ${code}`})`));
  chromium.on("error", (error) => resolve(`Chromium did not start: ${error.message}`));
});
// Writing to a Chromium that has gone fails; the waits report its exit.
chromium.stdio[3].on("error", () => {});

// A failure that names what was awaited, with the end of Chromium's standard error.
const failure = (what, why) => {
  const lines = stderr.split("\n").slice(-30).join("\n");
  return new Error(`waited for ${what}: ${why}; the end of Chromium's standard error:\n${lines}`);
};
// What `promise` gives, unless Chromium exits first or `LIMIT_MS` pass.
async function within(what, promise) {
  let timer;
  const expired = new Promise((resolve) => {
    timer = setTimeout(resolve, LIMIT_MS, `nothing within ${LIMIT_MS / 1000} s`);
  });
  try {
    const outcome = await Promise.race([promise.then((value) => ({ value })), expired, exited]);
    if (typeof outcome === "string") throw failure(what, outcome);
    return outcome.value;
  } finally {
    clearTimeout(timer);
  }
}

// The protocol's messages are NUL-terminated JSON, commands on fd 3 and
// answers and events on fd 4. One read may carry several messages.
let lastId = 0;
let unread = "";
const answers = new Map();
const listeners = new Set();
chromium.stdio[4].on("data", (chunk) => {
  const messages = (unread += chunk).split("\0");
  unread = messages.pop();
  for (const message of messages.map((text) => JSON.parse(text))) {
    const answer = answers.get(message.id);
    answers.delete(message.id);
    if (answer) answer(message);
    else listeners.forEach((listen) => listen(message));
  }
});
let session;
// Sends to the page, or with `sessionId` "" to the browser itself.
function send(method, params = {}, sessionId = session) {
  const id = ++lastId;
  chromium.stdio[3].write(JSON.stringify({ id, method, params, sessionId: sessionId || undefined }) + "\0");
  const answered = new Promise((resolve, reject) => {
    answers.set(id, ({ result, error }) => {
      if (error) reject(new Error(`${method}: ${error.message}`));
      else resolve(result);
    });
  });
  return within(`the answer to ${method}`, answered);
}
// The first event `method` whose parameters satisfy `accept`. Its listener is
// in place when this returns: call it before the action that fires the event.
const next = (method, accept = () => true) =>
  new Promise((resolve) => {
    const listen = ({ method: name, params }) =>
      name === method && accept(params) && listeners.delete(listen) && resolve(params);
    listeners.add(listen);
  });
const evaluate = async (expression) =>
  (await send("Runtime.evaluate", { expression, returnByValue: true })).result.value;
async function waitFor(expression) {
  for (const start = Date.now(); !(await evaluate(expression)); await sleep(50)) {
    if (Date.now() - start > LIMIT_MS) throw failure(expression, `still false after ${LIMIT_MS / 1000} s`);
  }
}

const requests = [];
before(async () => {
  await send("Browser.setDownloadBehavior", { behavior: "allowAndName", downloadPath: work, eventsEnabled: true }, "");
  const { targetId } = await send("Target.createTarget", { url: "about:blank" }, "");
  ({ sessionId: session } = await send("Target.attachToTarget", { targetId, flatten: true }, ""));
  listeners.add(({ method, params }) => {
    if (method === "Network.requestWillBeSent") requests.push(params.request.url);
    if (method === "Fetch.requestPaused") {
      send("Fetch.failRequest", { requestId: params.requestId, errorReason: "Failed" });
    }
  });
  await send("Network.enable");
  await send("Fetch.enable", { patterns: ["http*", "ws*", "ftp*"].map((urlPattern) => ({ urlPattern })) });
  await send("Performance.enable");
  await send("Page.navigate", { url: `file://${process.env.VARNHOLD_WEB_BUILD}/varnhold.html` });
  await waitFor("document.body?.dataset.ready === 'yes'");
});

after(async () => {
  try {
    // The browser may close before it answers.
    send("Browser.close", {}, "").catch(() => {});
    const closed = await Promise.race([exited, sleep(LIMIT_MS, false, { ref: false })]);
    if (!closed) {
      chromium.kill("SIGKILL");
      throw failure("Chromium to close", `still running after ${LIMIT_MS / 1000} s`);
    }
  } finally {
    fs.rmSync(work, { recursive: true, force: true });
  }
  assert.deepEqual(requests.filter((url) => !/^(file|blob|data):/.test(url)), [], "the page sent requests");
});

// Runs `action` on the page and waits for the result it leads to; when that
// is code 0, saves what the page offers. Gives the result's text and code,
// and on success the saved file's name and path.
async function outcome(action) {
  await evaluate(`delete document.getElementById("result").dataset.code`);
  await action();
  await waitFor(`document.getElementById("result").dataset.code !== undefined`);
  const { text, code } = await evaluate(`({ text: document.getElementById("result").textContent,
    code: document.getElementById("result").dataset.code })`);
  if (code !== "0") return { text, code };
  // Chromium may send both events in one read: both listeners come first.
  const begun = next("Browser.downloadWillBegin");
  const ended = next("Browser.downloadProgress", ({ state }) => state !== "inProgress");
  await evaluate(`document.getElementById("save").click()`);
  const { guid, suggestedFilename } = await within(`the download of the result to begin (${text})`, begun);
  const end = await within(`the download of ${suggestedFilename} to end`, ended);
  assert.deepEqual([end.guid, end.state], [guid, "completed"], `the download of ${suggestedFilename}`);
  fs.renameSync(join(work, guid), join(work, suggestedFilename));
  return { text, code, name: suggestedFilename, path: join(work, suggestedFilename) };
}
// Actions: choosing the file `name` of the work folder on the page's input,
// and changing a field as a person does (its value, then its change event).
const choose = (name) => async () => {
  const { root } = await send("DOM.getDocument");
  const { nodeId } = await send("DOM.querySelector", { nodeId: root.nodeId, selector: "#file" });
  await send("DOM.setFileInputFiles", { files: [join(work, name)], nodeId });
};
const change = (id, value) => () =>
  evaluate(`document.getElementById(${JSON.stringify(id)}).value = ${JSON.stringify(value)};
    document.getElementById(${JSON.stringify(id)}).dispatchEvent(new Event("change"))`);
// Chooses `name` with the two fields set beforehand.
async function submit(name, divisor = "", fraction = "") {
  await evaluate(`document.getElementById("divisor").value = ${JSON.stringify(divisor)};
    document.getElementById("fraction").value = ${JSON.stringify(fraction)}`);
  return outcome(choose(name));
}

const sha256 = async (path) => createHash("sha256").update(await fs.promises.readFile(path)).digest("hex");

test("encodes and decodes as the program does", async () => {
  // The committed list's p289.mp3: 859 bytes of its line, D = 4 and F = 4.
  const content = Buffer.from("Varnhold p289.mp3 carries this line in its picture.\n".repeat(20)).subarray(0, 859);
  fs.writeFileSync(join(work, "p289.mp3"), content);
  const picture = await submit("p289.mp3", "4", "4");
  assert.equal(picture.name, "p289.mp3.bmp");
  const expected = fs.readFileSync(new URL("../cross/container_hashes.txt", import.meta.url), "utf8");
  assert.match(expected, new RegExp(`^p289.mp3 8x37 ${await sha256(picture.path)}$`, "m"));
  const restored = await submit(picture.name);
  assert.equal(restored.name, "p289.mp3.bmp.mp3");
  assert.deepEqual(fs.readFileSync(restored.path), content);
});

test("results are said in words, with the code beside them", async () => {
  const picture = Buffer.from("BM".padEnd(54, "\0") + "\x03mp3\x03\0\0\0" + "ab", "latin1");
  fs.writeFileSync(join(work, "cut.bmp"), picture.subarray(0, 60));
  fs.writeFileSync(join(work, "short.bmp"), picture);
  fs.writeFileSync(join(work, "any.txt"), "x");
  fs.writeFileSync(join(work, "huge.iso"), "");
  fs.truncateSync(join(work, "huge.iso"), 256 * MiB + 1); // sparse: only its size is looked at
  fs.mkdirSync(join(work, "my.dir"));
  const cases = [
    ["any.txt", "", "Packed: save any.txt.bmp (code 0, 78 bytes)."],
    ["huge.iso", "", "Not packed: the file cannot be read, or (when packing) it is longer than 268,435,456 bytes"],
    ["my.dir", "", "Not packed: the file cannot be read"],
    ["any.txt", "0", "Not packed: floating-point division by zero (code 1)."],
    ["cut.bmp", "", "Not a picture made by Varnhold: its header states a layout other than"],
    ["short.bmp", "", "Not unpacked: it holds fewer bytes than its record states (code 4)."],
  ];
  for (const [name, fraction, start] of cases) {
    const { text, path } = await submit(name, "", fraction);
    assert.ok(text.startsWith(start), text);
    assert.equal(path !== undefined, text.startsWith("Packed"), text);
  }
});

test("the fields and the input take effect on the current file, and it is read before it is offered", async () => {
  const content = Buffer.alloc(30_000);
  for (let i = 0; i < content.length; i++) content[i] = (i * 2654435761) >>> 24;
  fs.writeFileSync(join(work, "r.bin"), content);
  // Each saved picture is r.bin.bmp: its hash is taken before the next one replaces it.
  const first = await sha256((await submit("r.bin")).path);
  // Chosen again after the divisor changed silently, the same file is packed again.
  await evaluate(`document.getElementById("divisor").value = "5"`);
  const again = await outcome(choose("r.bin"));
  assert.equal(fs.readFileSync(again.path).readUInt32LE(18) % 5, 0);
  const fifths = await sha256(again.path);
  assert.notEqual(fifths, first);
  // A field that changes packs the current file again; a value of 255 bytes
  // or more reads as unset, as the program reads a variable.
  assert.match((await outcome(change("fraction", "0"))).text, /^Not packed: floating-point division by zero \(code 1\)/);
  assert.equal(await sha256((await outcome(change("fraction", "9".repeat(65_536)))).path), fifths);
  assert.equal(await sha256((await outcome(change("divisor", ""))).path), first);
  // Removed after it was chosen, the file cannot be read: nothing is offered.
  fs.rmSync(join(work, "r.bin"));
  assert.match((await outcome(change("divisor", "8"))).text, /^Not packed: the file cannot be read.* \(code 1\)/);
});

test("names a browser saves otherwise are said so beside the link", async () => {
  fs.writeFileSync(join(work, "noext"), "no extension");
  fs.writeFileSync(join(work, ".hidden"), "hidden");
  const picture = await submit("noext");
  assert.equal(await evaluate(`document.getElementById("renamed") === null`), true);
  const restored = await submit(picture.name);
  const hidden = await submit(".hidden");
  for (const [saved, offered, as] of [[restored, "noext.bmp.~", "noext.bmp._"], [hidden, ".hidden.bmp", "hidden.bmp"]]) {
    assert.ok(saved.text.includes(`rename the saved file to ${offered}`), saved.text);
    assert.equal(saved.name, as);
  }
  assert.deepEqual(fs.readFileSync(restored.path), Buffer.from("no extension"));
});

test("round-trips 256 MiB without reading it whole", async () => {
  const chunk = Buffer.alloc(MiB);
  for (let i = 0; i < MiB; i += 4) chunk.writeUInt32LE((i * 2654435761) >>> 0, i);
  fs.writeFileSync(join(work, "large.bin"), Buffer.concat(Array(256).fill(chunk)));

  // Peak resident set (kB) of each process the protocol names.
  const peaks = async () =>
    Object.fromEntries(
      (await send("SystemInfo.getProcessInfo", {}, "")).processInfo
        .filter(({ id }) => fs.existsSync(`/proc/${id}/status`))
        .map(({ type, id }) => [`${type} ${id}`, fs.readFileSync(`/proc/${id}/status`, "utf8")])
        .map(([name, status]) => [name, Number(/VmHWM:\s+(\d+)/.exec(status)[1])]),
    );
  const before = await peaks();
  let heap = 0;
  const sampler = setInterval(async () => {
    const { metrics } = await send("Performance.getMetrics");
    heap = Math.max(heap, metrics.find(({ name }) => name === "JSHeapUsedSize").value);
  }, 100);
  const picture = await submit("large.bin");
  const restored = await submit(picture.name);
  clearInterval(sampler);
  assert.equal(restored.name, "large.bin.bmp.bin");
  assert.equal(await sha256(restored.path), await sha256(join(work, "large.bin")));

  const later = await peaks();
  const [busiest, growth] = Object.keys(later)
    .map((name) => [name, (later[name] - (before[name] ?? 0)) / 1024])
    .reduce((most, other) => (other[1] > most[1] ? other : most));
  const figures = `256 MiB round trip: peak JS heap ${(heap / MiB).toFixed(1)} MiB; the largest growth of a Chromium \
process's peak resident set ${growth.toFixed(1)} MiB (${busiest}, from ${(before[busiest] / 1024).toFixed(1)} MiB)\n`;
  fs.writeFileSync(`${process.env.VARNHOLD_WEB_BUILD}/round-trip-memory.txt`, figures);
  assert.ok(heap < 32 * MiB, figures);
  assert.ok(growth < 128, figures); // a process that held the file would grow by 256 MiB
});

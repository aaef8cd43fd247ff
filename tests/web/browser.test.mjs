// SPDX-License-Identifier: MIT
// varnhold.html in headless Chromium, opened from file:// with every network
// request blocked: files are set on the page's input through the DevTools
// protocol (over --remote-debugging-pipe) and the downloaded bytes checked.
import assert from "node:assert/strict";
import { spawn } from "node:child_process";
import { createHash } from "node:crypto";
import * as fs from "node:fs";
import { tmpdir } from "node:os";
import { join } from "node:path";
import { after, before, test } from "node:test";

const CHROMIUM = "/usr/bin/chromium";
const page = `${process.env.VARNHOLD_WEB_BUILD}/varnhold.html`;
const work = fs.mkdtempSync(join(tmpdir(), "varnhold-web-"));
const MiB = 2 ** 20;

// The DevTools protocol over the pipe Chromium opens on fds 3 and 4: one JSON
// message per NUL-terminated chunk.
class Browser {
  constructor() {
    const flags = ["--headless", "--remote-debugging-pipe", `--user-data-dir=${work}/profile`, "--no-first-run"];
    flags.push("--host-resolver-rules=MAP * ~NOTFOUND", "--disable-background-networking", "--disable-component-update");
    if (process.getuid() === 0) flags.push("--no-sandbox");
    this.child = spawn(CHROMIUM, [...flags, "about:blank"], { stdio: ["ignore", "ignore", "ignore", "pipe", "pipe"] });
    this.pending = new Map();
    this.listeners = [];
    this.id = 0;
    let text = "";
    this.child.stdio[4].on("data", (chunk) => {
      const messages = (text += chunk.toString("utf8")).split("\0");
      text = messages.pop();
      for (const message of messages.map((raw) => JSON.parse(raw))) {
        const waiting = this.pending.get(message.id);
        if (waiting) {
          this.pending.delete(message.id);
          message.error ? waiting.reject(new Error(message.error.message)) : waiting.resolve(message.result);
        } else this.listeners.forEach((listen) => listen(message));
      }
    });
  }
  send(method, params = {}, sessionId = undefined) {
    const id = ++this.id;
    this.child.stdio[3].write(JSON.stringify({ id, method, params, sessionId }) + "\0");
    return new Promise((resolve, reject) => this.pending.set(id, { resolve, reject }));
  }
  // The next event named `method` for which `accept` holds.
  next(method, accept = () => true) {
    return new Promise((resolve) => {
      const listen = (message) => {
        if (message.method !== method || !accept(message.params)) return;
        this.listeners.splice(this.listeners.indexOf(listen), 1);
        resolve(message.params);
      };
      this.listeners.push(listen);
    });
  }
}

let browser, session, requests;
const inPage = (method, params) => browser.send(method, params, session);
const evaluate = async (expression) =>
  (await inPage("Runtime.evaluate", { expression, awaitPromise: true, returnByValue: true })).result.value;
const waitFor = async (expression) => {
  for (const start = Date.now(); !(await evaluate(expression)); await new Promise((go) => setTimeout(go, 50))) {
    assert.ok(Date.now() - start < 120_000, `still waiting for ${expression}`);
  }
};

before(async () => {
  browser = new Browser();
  await browser.send("Browser.setDownloadBehavior", { behavior: "allowAndName", downloadPath: work, eventsEnabled: true });
  const { targetId } = await browser.send("Target.createTarget", { url: "about:blank" });
  ({ sessionId: session } = await browser.send("Target.attachToTarget", { targetId, flatten: true }));
  requests = [];
  browser.listeners.push(({ method, params }) => {
    if (method === "Network.requestWillBeSent") requests.push(params.request.url);
    if (method === "Fetch.requestPaused") inPage("Fetch.failRequest", { requestId: params.requestId, errorReason: "BlockedByClient" });
  });
  await inPage("Network.enable");
  await inPage("Fetch.enable", { patterns: ["http*", "ws*", "ftp*"].map((urlPattern) => ({ urlPattern })) });
  await inPage("Performance.enable");
  await inPage("Page.navigate", { url: `file://${page}` });
  await waitFor("document.body?.dataset.ready === 'yes'");
});

after(async () => {
  const exited = new Promise((resolve) => browser.child.on("exit", resolve));
  browser.child.kill();
  await exited;
  fs.rmSync(work, { recursive: true, force: true });
});

// Sets `path` on the page's input with the two fields, waits for the result
// and, on success, saves the offered file; gives the result text and the
// saved file's suggested name and path.
async function submit(path, divisor = "", fraction = "") {
  await evaluate(`document.getElementById("result").textContent = "";
    document.getElementById("divisor").value = ${JSON.stringify(divisor)};
    document.getElementById("fraction").value = ${JSON.stringify(fraction)}`);
  const { root } = await inPage("DOM.getDocument");
  const { nodeId } = await inPage("DOM.querySelector", { nodeId: root.nodeId, selector: "#file" });
  await inPage("DOM.setFileInputFiles", { files: [path], nodeId });
  await waitFor(`document.getElementById("result").textContent.startsWith("Code")`);
  const text = await evaluate(`document.getElementById("result").textContent`);
  if (!text.startsWith("Code 0")) return { text };
  const begun = browser.next("Browser.downloadWillBegin");
  await evaluate(`document.getElementById("save").click()`);
  const { guid, suggestedFilename } = await begun;
  await browser.next("Browser.downloadProgress", (progress) => progress.guid === guid && progress.state === "completed");
  return { text, name: suggestedFilename, saved: join(work, guid) };
}

// Peak resident set (kB) of each Chromium process the protocol names, by
// type and id.
async function peakResidentSets() {
  const { processInfo } = await browser.send("SystemInfo.getProcessInfo");
  const peaks = {};
  for (const { type, id } of processInfo.filter(({ id }) => fs.existsSync(`/proc/${id}/status`))) {
    peaks[`${type}:${id}`] = Number(/VmHWM:\s+(\d+)/.exec(fs.readFileSync(`/proc/${id}/status`, "utf8"))[1]);
  }
  return peaks;
}

const sha256 = (path) =>
  new Promise((resolve) => {
    const hash = createHash("sha256");
    fs.createReadStream(path).on("data", (chunk) => hash.update(chunk)).on("end", () => resolve(hash.digest("hex")));
  });
const copy = (path, name) => {
  fs.copyFileSync(path, join(work, name));
  return join(work, name);
};
const file = (name, bytes) => {
  fs.writeFileSync(join(work, name), bytes);
  return join(work, name);
};

test("encodes and decodes as the program does", async () => {
  // From the committed list: 65,536 bytes of the case's line, default settings.
  const line = "Varnhold k64.mp3 carries this line in its picture.\n";
  const content = Buffer.from(line.repeat(2000)).subarray(0, 65536);
  const picture = await submit(file("k64.mp3", content));
  assert.equal(picture.name, "k64.mp3.bmp");
  const expected = fs.readFileSync(new URL("../cross/container_hashes.txt", import.meta.url), "utf8");
  assert.match(expected, new RegExp(`^k64.mp3 152x144 ${await sha256(picture.saved)}$`, "m"));

  const restored = await submit(file("k64.mp3.bmp", fs.readFileSync(picture.saved)));
  assert.equal(restored.name, "k64.mp3.bmp.mp3");
  assert.deepEqual(fs.readFileSync(restored.saved), content);
});

test("refuses what the program refuses, with the code and its meaning", async () => {
  const record = Buffer.alloc(54 + 1 + 3 + 4 + 2);
  record[54] = 3;
  record.write("mp3", 55);
  record.writeUInt32LE(3, 58);
  const cases = [
    [file("huge.iso", ""), "", "", "Code 1: the file is longer"],
    [file("any.txt", "x"), "", "0", "Code 1: varnhold: floating-point division by zero"],
    [file("cut.bmp", record.subarray(0, 60)), "", "", "Code 3: the picture ends before its record is complete"],
    [file("short.bmp", record), "", "", "Code 4: the picture holds fewer bytes than its record states"],
  ];
  // A sparse file one byte over 256 MiB: its size is all the page looks at.
  fs.writeFileSync(cases[0][0], Buffer.alloc(1), { flag: "w" });
  fs.truncateSync(cases[0][0], 256 * MiB + 1);
  for (const [path, divisor, fraction, start] of cases) {
    const { text, name } = await submit(path, divisor, fraction);
    assert.ok(text.startsWith(start), text);
    assert.equal(name, undefined);
  }
});

test("round-trips 256 MiB without reading it whole", async () => {
  const path = join(work, "large.bin");
  const chunk = Buffer.alloc(MiB);
  for (let i = 0; i < MiB; i += 4) chunk.writeUInt32LE((i * 2654435761) >>> 0, i);
  fs.writeFileSync(path, Buffer.concat(Array(256).fill(chunk)));

  const before = await peakResidentSets();
  let peakHeap = 0;
  const sample = setInterval(async () => {
    const { metrics } = await inPage("Performance.getMetrics");
    peakHeap = Math.max(peakHeap, metrics.find((metric) => metric.name === "JSHeapUsedSize").value);
  }, 100);
  const picture = await submit(path);
  const header = Buffer.alloc(62);
  const fd = fs.openSync(picture.saved);
  fs.readSync(fd, header, 0, 62, 0);
  fs.closeSync(fd);
  assert.equal(fs.statSync(picture.saved).size, header.readUInt32LE(2));
  assert.equal(header.subarray(54, 62).toString("latin1"), "\x03bin\0\0\0\x10");
  const restored = await submit(copy(picture.saved, "large.bin.bmp"));
  clearInterval(sample);
  assert.equal(await sha256(restored.saved), await sha256(path));

  const after = await peakResidentSets();
  const grown = Object.entries(after).map(([process, peak]) => [process, peak - (before[process] ?? 0)]);
  const show = (pairs) => pairs.map(([name, peak]) => `${name} ${(Math.max(peak, 0) / 1024).toFixed(1)}`).join(", ");
  const figures = [
    `256 MiB round trip: peak JS heap ${(peakHeap / MiB).toFixed(1)} MiB`,
    `peak resident set by process before it (MiB): ${show(Object.entries(before))}`,
    `growth of each peak during it (MiB): ${show(grown)}`,
  ].join("\n");
  console.log(figures);
  fs.writeFileSync(`${process.env.VARNHOLD_WEB_BUILD}/round-trip-memory.txt`, figures + "\n");
  assert.ok(peakHeap < 32 * MiB, `JS heap reached ${peakHeap} bytes`);
  assert.ok(grown.every(([, peak]) => peak < 64 * 1024), "a process held the file");
});

test("no request left the page", () => {
  assert.deepEqual(requests.filter((url) => !url.startsWith("file:") && !url.startsWith("blob:") && !url.startsWith("data:")), []);
});

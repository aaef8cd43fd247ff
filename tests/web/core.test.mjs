// SPDX-License-Identifier: MIT
// The page's core in Node: the same pictures as the program for the committed
// hash list (inputs and settings read from tests/cross/container_hashes.sh),
// each decoded back; the refusals with the program's codes; the program's
// table of refused headers; and what only the page does (its arguments, the
// tags it reads as Windows-1251). Fields and choices are the browser test's.
import assert from "node:assert/strict";
import { createHash } from "node:crypto";
import { File } from "node:buffer"; // global only from Node 20; Debian 12 has Node 18
import { readFileSync } from "node:fs";
import { test } from "node:test";
import { loadCore } from "../../src/web/varnhold.mjs";

const here = new URL(".", import.meta.url);
const process_ = await loadCore(readFileSync(`${globalThis.process.env.VARNHOLD_WEB_BUILD}/src/web/varnhold.wasm`));
const bytesOf = async (blob) => new Uint8Array(await blob.arrayBuffer());
const sha256 = (bytes) => createHash("sha256").update(bytes).digest("hex");
const le32 = (bytes, at) => new DataView(bytes.buffer, bytes.byteOffset).getUint32(at, true);

// "name size divisor fraction" lines of the script's table; "-" leaves a
// setting unset, "_" stands for a space.
const script = readFileSync(new URL("../cross/container_hashes.sh", here), "utf8");
const cases = [...script.matchAll(/^\s*"(\S+) (\d+) (\S+) (\S+)"$/gm)].map(([, name, size, divisor, fraction]) => {
  const setting = (text) => (text === "-" ? "" : text.replaceAll("_", " "));
  return { name, size: Number(size), divisor: setting(divisor), fraction: setting(fraction) };
});
const expected = new Map(
  readFileSync(new URL("../cross/container_hashes.txt", here), "utf8")
    .trim()
    .split("\n")
    .map((line) => [line.split(" ")[0], line.split(" ").slice(1).join(" ")]),
);

test("the same pictures as the program, decoded back", async () => {
  assert.equal(cases.length, expected.size);
  for (const { name, size, divisor, fraction } of cases) {
    const line = `Varnhold ${name} carries this line in its picture.\n`;
    const content = new TextEncoder().encode(line.repeat(Math.ceil(size / line.length))).slice(0, size);
    const encoded = await process_(new File([content], name), divisor, fraction);
    assert.equal(encoded.name, `${name}.bmp`);
    const picture = await bytesOf(encoded.blob);
    assert.equal(`${le32(picture, 18)}x${le32(picture, 22)} ${sha256(picture)}`, expected.get(name), name);

    const decoded = await process_(new File([picture], encoded.name));
    const extension = name.includes(".") ? name.slice(name.lastIndexOf(".")) : ".~";
    assert.equal(decoded.name, `${name}.bmp${extension}`);
    assert.deepEqual(await bytesOf(decoded.blob), content, name);
  }
});

// A picture by hand: the program's 8 x 2 header, the record for `tag`
// stating `stated` bytes, then `carried`.
function picture(tag, stated, carried) {
  const tagBytes = typeof tag === "string" ? new TextEncoder().encode(tag) : tag;
  const bytes = new Uint8Array(54 + 1 + tagBytes.length + 4 + carried.length);
  const view = new DataView(bytes.buffer);
  bytes.set([0x42, 0x4d]);
  for (const [at, value] of [[10, 54], [14, 40], [18, 8], [22, 2], [26, 1 | (24 << 16)]]) view.setUint32(at, value, true);
  bytes[54] = tagBytes.length;
  bytes.set(tagBytes, 55);
  view.setUint32(55 + tagBytes.length, stated, true);
  bytes.set(carried, 59 + tagBytes.length);
  return bytes;
}

// A file the page cannot read, as a browser gives for a folder or for a file
// removed or changed after it was chosen.
const unreadable = (name, size) => ({ name, size, slice: () => new Blob([]).slice(0, 0, "x/unreadable") });
Object.defineProperty(Blob.prototype, "arrayBuffer", {
  value: ((original) =>
    function () {
      return this.type === "x/unreadable" ? Promise.reject(new Error("NotReadableError")) : original.call(this);
    })(Blob.prototype.arrayBuffer),
});

test("refusals with the program's codes", async () => {
  const long = "n".repeat(251);
  const cases = [
    [unreadable("folder", 4096), [], 1],
    [unreadable("gone.bmp", 80), [], 1],
    [new File(["x"], `${long}.bin`), [], 2], // the picture's name would be 259 bytes
    [new File([picture("mp3", 1, [7])], `${long}.bmp`), [], 2],
    ...["x/y", "x\\y", "C:"].map((tag) => [new File([picture(tag, 0, [])], "s.bmp"), [], 3]), // any system's separators
  ];
  for (const [file, settings, code] of cases) assert.equal((await process_(file, ...settings)).code, code, file.name);
});

test("the headers of the program's refused-header table give 3", async () => {
  const table = readFileSync(new URL("../e2e/refused_headers.inc", here), "utf8");
  const rows = [...table.matchAll(/^\{"([^"]+)", (\d+), (\d+), (-?\d+)\},$/gm)];
  assert.ok(rows.length >= 10);
  const content = new Uint8Array(30_000).map((_, i) => (i * 2654435761) >>> 24);
  const valid = await bytesOf((await process_(new File([content], "r.bin"))).blob);
  for (const [, what, offset, size, value] of rows) {
    const changed = valid.slice();
    const bytes = BigInt.asUintN(64, BigInt(value));
    for (let i = 0; i < Number(size); i++) changed[Number(offset) + i] = Number((bytes >> BigInt(8 * i)) & 0xffn);
    assert.equal((await process_(new File([changed], "h.bmp"))).code, 3, what);
  }
});

test("a tag that is not UTF-8 is read as Windows-1251, as browsers read it", async () => {
  const windows1251 = new TextDecoder("windows-1251");
  // Every byte from 0x80 on in two tags short enough for a name; 0x98, which
  // the code page leaves unassigned, reads as a C1 control and is refused.
  const high = [...Array(128).keys()].map((i) => 0x80 + i).filter((byte) => byte !== 0x98);
  for (const tag of [high.slice(0, 42), high.slice(42, 84), high.slice(84)].map((bytes) => Uint8Array.from(bytes))) {
    const outcome = await process_(new File([picture(tag, 1, [7])], "p.bmp"));
    assert.equal(outcome.name, `p.bmp.${windows1251.decode(tag)}`);
  }
  assert.equal((await process_(new File([picture(Uint8Array.of(0x98), 1, [7])], "p.bmp"))).code, 3);
});

test("the core checks its arguments", async () => {
  const core = process_.exports;
  for (const call of [
    () => core.varnhold_locate(2 ** 31 - 1, 100, 1), // more head than the buffer holds
    () => core.varnhold_locate(10, -1, 1),
    () => core.varnhold_locate(10, 0.5, 1),
    () => core.varnhold_encode(2 ** 31 - 1, 2 ** 31 - 1, 0, 1, 1), // lengths whose sum wraps
    () => core.varnhold_encode(1, 0, 0, 2 ** 60, 1),
    () => core.varnhold_restore(1, 10, -54, 100, 1),
  ]) {
    assert.equal(call(), -1, call.toString());
  }
});

// How much memory `nacrelle studio` holds as edits pile up in its undo
// history: a large scene (about 2.5 MB: many animation keys), then typed
// edits one after another, with the studio's resident memory (Linux,
// /proc/PID/status) read before, during and after.
//
//   node bench/studio_memory.mjs [--program build/default/bin/nacrelle]
//        [--edits 600] [--keys 320000] [--json FILE]
import { execFileSync, spawn } from 'node:child_process';
import { mkdtempSync, readFileSync, rmSync, statSync, writeFileSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { dirname, join, resolve } from 'node:path';
import { fileURLToPath } from 'node:url';
import { parseArgs } from 'node:util';

const root = resolve(dirname(fileURLToPath(import.meta.url)), '..');
const { values: options } = parseArgs({
  options: {
    program: { type: 'string', default: join(root, 'build/default/bin/nacrelle') },
    edits: { type: 'string', default: '600' },
    keys: { type: 'string', default: '320000' },
    json: { type: 'string' },
  },
});
const program = resolve(options.program);
const edits = Number(options.edits);
const keys = Number(options.keys);

/// The process's resident memory now and at its peak, in MB.
function memory(pid) {
  const status = readFileSync(`/proc/${pid}/status`, 'utf8');
  const field = (name) => Number(new RegExp(`^${name}:\\s+(\\d+) kB`, 'm').exec(status)[1]) / 1024;
  return { now: field('VmRSS'), peak: field('VmHWM') };
}

const dir = mkdtempSync(join(tmpdir(), 'nacrelle-memory-'));
let studio;
try {
  // The scene: keys on the hue and the saturation, added in batches that
  // fit on a command line.
  const scene = join(dir, 'large.nscene');
  execFileSync(program, ['scene', 'new', scene]);
  const batch = 40000;
  for (let first = 0; first < keys; first += batch) {
    const parameter = (first / batch) % 2 === 0 ? 'hue' : 'sat';
    const args = ['scene', 'set', scene];
    for (let i = first; i < Math.min(keys, first + batch); ++i) {
      args.push('--key', `${parameter}@${i + 1}=${(i * 7) % 90}`);
    }
    execFileSync(program, args, { stdio: ['ignore', 'ignore', 'ignore'] });
  }
  const sceneBytes = statSync(scene).size;

  studio = spawn(program, ['studio', scene], { cwd: dir });
  const address = await new Promise((resolveAddress, reject) => {
    let out = '';
    studio.stdout.on('data', (chunk) => {
      out += chunk;
      const match = /nacrelle studio: (http:\/\/127\.0\.0\.1:\d+\/\?token=\w+)/.exec(out);
      if (match) resolveAddress(match[1]);
    });
    studio.on('exit', (code) => reject(new Error('studio ended (' + code + '): ' + out)));
  });
  const url = new URL(address);
  const api = (path) => `${url.origin}${path}?token=${url.searchParams.get('token')}`;
  const post = async (path, body) => {
    const response = await fetch(api(path), {
      method: 'POST', headers: { 'Content-Type': 'application/json' }, body: JSON.stringify(body),
    });
    if (!response.ok) throw new Error(`${path}: ${response.status} ${await response.text()}`);
    return response.json();
  };
  const first = await (await fetch(api('/api/state'))).json();
  // The colour rows: gamma, hue and saturation, the last three fields.
  const fields = first.rollouts[0].controls.filter((c) => c.kind === 'edit' && c.param >= 0)
    .slice(-3).map((c) => c.id);
  const start = memory(studio.pid);
  const samples = [];
  let state = first;
  for (let i = 1; i <= edits; ++i) {
    const id = fields[i % fields.length];
    const text = String(id === fields[0] ? 1 + (i % 20) / 10 : (i * 13) % 90);
    state = await post('/api/panel', { panel: 0, id, action: 'type', text });
    if (i % 100 === 0) samples.push({ edits: i, ...memory(studio.pid) });
  }
  const end = memory(studio.pid);
  const result = {
    program, sceneBytes, edits, undoSteps: state.undoSteps,
    startMB: start.now, endMB: end.now, peakMB: end.peak, samples,
  };
  console.log(`scene ${(sceneBytes / 1e6).toFixed(2)} MB, ${edits} typed edits, ` +
              `${state.undoSteps} undo steps kept`);
  console.log(`studio resident memory: ${start.now.toFixed(1)} MB at the start, ` +
              `${end.now.toFixed(1)} MB after, peak ${end.peak.toFixed(1)} MB`);
  for (const s of samples) console.log(`  after ${String(s.edits).padStart(4)} edits: ${s.now.toFixed(1)} MB`);
  if (options.json) writeFileSync(options.json, JSON.stringify(result, null, 2));
} finally {
  if (studio) {
    studio.removeAllListeners('exit');
    studio.kill('SIGINT');
  }
  rmSync(dir, { recursive: true, force: true });
}

// The JSON interface against its contract: the running kxr-host's own
// /api/v1/openapi.json must be a valid OpenAPI 3.1 document, and every
// endpoint's answers, errors included, must match the schemas it gives.
// The host (KXR_BASE_URL) has the clips alpha and beta (pictures that
// differ), a file root \Media holding notes.txt and a folder sub, and allows
// one event stream.
import assert from 'node:assert/strict';
import { test } from 'node:test';
import { Validator } from '@seriousme/openapi-schema-validator';
import Ajv2020 from 'ajv/dist/2020.js';
import addFormats from 'ajv-formats';

const base = process.env.KXR_BASE_URL;
assert.ok(base, 'KXR_BASE_URL names the running host');

const document = await (await fetch(`${base}/api/v1/openapi.json`)).json();
const documentId = 'https://kxr.invalid/openapi.json';
// The document's own schemas, $refs and all, compiled as JSON Schema 2020-12.
const ajv = new Ajv2020({ strict: false, allErrors: true });
addFormats(ajv);
ajv.addSchema({ ...document, $id: documentId });

function schemaAt(pointer) {
  const validate = ajv.getSchema(`${documentId}${pointer}`);
  assert.ok(validate, `no schema at ${pointer}`);
  return validate;
}

function resolve(object) {
  if (!object?.$ref) return object;
  return resolve(object.$ref.split('/').slice(1).reduce((o, key) => o[key], document));
}

function pointerOf(path, ...keys) {
  const escape = (key) => String(key).replaceAll('~', '~0').replaceAll('/', '~1');
  return `#/${['paths', path, ...keys].map(escape).join('/')}`;
}

// Which operation and status each answer was checked against.
const checked = new Set();

// Sends a request and checks its answer against the documented response of
// the operation: status, content type and body schema. Returns the answer.
async function call(method, path, target, { status, body, headers = {}, type } = {}) {
  const init = { method, headers: { ...headers } };
  if (body !== undefined) {
    init.body = typeof body === 'string' ? body : JSON.stringify(body);
    init.headers['content-type'] ??= 'application/json';
  }
  const response = await fetch(`${base}${target}`, init);
  const bytes = Buffer.from(await response.arrayBuffer());
  const text = bytes.toString();
  assert.equal(response.status, status, `${method} ${target}: ${text}`);
  const operation = document.paths[path]?.[method.toLowerCase()];
  assert.ok(operation, `${method} ${path} is not documented`);
  const documented = resolve(operation.responses[String(status)]);
  assert.ok(documented, `${method} ${path} does not document ${status}`);
  checked.add(`${method} ${path} ${status}`);
  if (!documented.content) {
    assert.equal(text, '', `${method} ${target}: ${status} has no body`);
    return { response, text };
  }
  const contentType = response.headers.get('content-type');
  const documentedType = type ?? Object.keys(documented.content)[0];
  assert.equal(contentType, documentedType, `${method} ${target}`);
  assert.ok(documented.content[contentType], `${method} ${path} ${status}: ${contentType}`);
  if (!contentType.includes('json')) return { response, bytes };
  const json = JSON.parse(text);
  const given = operation.responses[String(status)];
  const at = given.$ref ?? pointerOf(path, method.toLowerCase(), 'responses', String(status));
  const validate = schemaAt(`${at}/content/${contentType.replace('/', '~1')}/schema`);
  assert.ok(validate(json), `${method} ${target}: ${ajv.errorsText(validate.errors)}\n${text}`);
  return { response, text, json };
}

// A refusal outside any documented operation (another method on a path).
async function refusedMethod(method, target, allow) {
  const response = await fetch(`${base}${target}`, { method });
  assert.equal(response.status, 405);
  assert.equal(response.headers.get('allow'), allow);
  assert.equal(response.headers.get('content-type'), 'application/problem+json');
  const validate = schemaAt('#/components/schemas/Problem');
  assert.ok(validate(await response.json()), ajv.errorsText(validate.errors));
}

test('the document is valid OpenAPI 3.1', async () => {
  const validator = new Validator();
  const result = await validator.validate(structuredClone(document));
  assert.equal(result.valid, true, JSON.stringify(result.errors, null, 2));
  assert.equal(validator.version, '3.1');
  const served = await call('GET', '/api/v1/openapi.json', '/api/v1/openapi.json', { status: 200 });
  assert.deepEqual(served.json, document);
});

test('channels and transport answer as documented', async () => {
  const list = await call('GET', '/api/v1/channels', '/api/v1/channels', { status: 200 });
  assert.equal(list.json.channels.length, 2);
  await call('GET', '/api/v1/channels/{n}', '/api/v1/channels/1', { status: 200 });
  await call('GET', '/api/v1/channels/{n}', '/api/v1/channels/5', { status: 404 });

  const transport = '/api/v1/channels/{n}/transport';
  const target = '/api/v1/channels/0/transport';
  const played = await call('POST', transport, target,
    { status: 200, body: { action: 'play', clip: 'alpha', loop: true } });
  assert.equal(played.json.state, 'playing');
  await call('POST', transport, target, { status: 200, body: { action: 'shuttle', speed: 3 } });
  await call('POST', transport, target, { status: 400, body: '{"action":' });
  await call('POST', transport, target, { status: 404, body: { action: 'play', clip: 'nosuch' } });
  await call('POST', transport, target, { status: 409, body: { action: 'seek', position: 9999 } });
  await call('POST', transport, target,
    { status: 413, body: { action: 'play', clip: 'x'.repeat(5000) } });
  await call('POST', transport, target,
    { status: 415, body: '{"action":"stop"}', headers: { 'content-type': 'text/plain' } });
  await call('POST', transport, target, { status: 200, body: { action: 'stop' } });
  await refusedMethod('GET', target, 'POST');
  await refusedMethod('PUT', '/api/v1/channels', 'GET, HEAD');
});

test('clips and their pictures answer as documented', async () => {
  const clips = await call('GET', '/api/v1/clips', '/api/v1/clips', { status: 200 });
  assert.deepEqual(clips.json.clips.map((clip) => clip.name), ['alpha', 'beta']);
  await call('GET', '/api/v1/clips', '/api/v1/clips?channel=1', { status: 200 });
  await call('GET', '/api/v1/clips', '/api/v1/clips?channel=4', { status: 404 });
  await call('GET', '/api/v1/clips/{name}', '/api/v1/clips/beta', { status: 200 });
  await call('GET', '/api/v1/clips/{name}', '/api/v1/clips/nosuch', { status: 404 });

  // A picture carries a tag that saves fetching it again; the other clip's
  // picture (another test pattern) is another picture.
  const picon = '/api/v1/clips/{name}/picon';
  const picture = await call('GET', picon, clips.json.clips[0].picon,
    { status: 200, type: 'image/jpeg' });
  assert.deepEqual([...picture.bytes.subarray(0, 2)], [0xFF, 0xD8]);
  assert.equal(picture.response.headers.get('content-length'), String(picture.bytes.length));
  assert.equal(picture.response.headers.get('cache-control'), 'no-cache');
  const tag = picture.response.headers.get('etag');
  assert.match(tag, new RegExp(resolve(document.components.headers.ETag).schema.pattern));
  for (const held of [tag, `"0000000000000000", W/${tag}`]) {
    const kept = await call('GET', picon, clips.json.clips[0].picon,
      { status: 304, headers: { 'if-none-match': held } });
    assert.equal(kept.response.headers.get('etag'), tag);
    assert.equal(kept.response.headers.get('content-length'), null);
  }
  const other = await call('GET', picon, clips.json.clips[1].picon,
    { status: 200, type: 'image/jpeg', headers: { 'if-none-match': tag } });
  assert.notEqual(other.response.headers.get('etag'), tag);
  await call('GET', picon, '/api/v1/clips/nosuch/picon', { status: 404 });
});

test('folders and file descriptions answer as documented', async () => {
  const files = '/api/v1/files';
  const roots = await call('GET', files, files, { status: 200 });
  assert.ok(roots.json.entries.some((entry) => entry.locator === '\\Media'));
  const media = await call('GET', files, `${files}?locator=${encodeURIComponent('\\Media')}`,
    { status: 200 });
  assert.deepEqual(media.json.entries.map((entry) => entry.kind), ['file', 'folder']);
  await call('GET', files, `${files}?locator=${encodeURIComponent('\\Nowhere')}`, { status: 404 });
  await call('GET', files, `${files}?limit=5000`, { status: 400 });

  // A clip's file, by the locator its clip gives.
  const { file } = (await call('GET', '/api/v1/clips/{name}', '/api/v1/clips/alpha',
    { status: 200 })).json;
  const info = '/api/v1/files/info';
  const described = await call('GET', info, `${info}?locator=${encodeURIComponent(file)}`,
    { status: 200 });
  assert.ok(described.json.media.some((field) => field.name === 'Width'), described.text);
  await call('GET', info, `${info}?locator=${encodeURIComponent('\\Media\\notes.txt')}`,
    { status: 200 });
  await call('GET', info, `${info}?locator=${encodeURIComponent('\\Media\\sub')}`,
    { status: 200 });
  await call('GET', info, `${info}?locator=${encodeURIComponent('\\Media\\none.txt')}`,
    { status: 404 });
  await call('GET', info, info, { status: 400 });
});

test('the error log answers as documented', async () => {
  const log = await call('GET', '/api/v1/errors', '/api/v1/errors', { status: 200 });
  assert.ok(log.json.count > 0, 'the refused seek above is in the log');
  await call('GET', '/api/v1/errors', `/api/v1/errors?since=${log.json.lastChange}`,
    { status: 200 });
  await call('GET', '/api/v1/errors', '/api/v1/errors?since=-4', { status: 400 });
});

// Server-sent events from a stream, in order: each call waits for count
// more, however the stream's reads cut the events apart or join them.
function eventReader(reader) {
  const decoder = new TextDecoder();
  const arrived = [];
  let pending = '';
  return async (count) => {
    while (arrived.length < count) {
      const { value, done } = await reader.read();
      assert.ok(!done, 'the stream ended early');
      pending += decoder.decode(value, { stream: true });
      let end;
      while ((end = pending.indexOf('\n\n')) >= 0) {
        const block = pending.slice(0, end);
        pending = pending.slice(end + 2);
        const event = {};
        for (const line of block.split('\n')) {
          const colon = line.indexOf(': ');
          if (colon > 0) event[line.slice(0, colon)] = line.slice(colon + 2);
        }
        if (event.data !== undefined) arrived.push(event);
      }
    }
    return arrived.splice(0, count);
  };
}

test('the event stream answers as documented', async () => {
  const path = '/api/v1/events';
  const controller = new AbortController();
  // An event that never comes fails the test instead of holding it.
  const limit = setTimeout(() => controller.abort(), 30000);
  const response = await fetch(`${base}${path}`, { signal: controller.signal });
  assert.equal(response.status, 200);
  assert.equal(response.headers.get('content-type'), 'text/event-stream');
  checked.add(`GET ${path} 200`);
  const readEvents = eventReader(response.body.getReader());
  const media = document.paths[path].get.responses['200'].content['text/event-stream'];
  const schemas = Object.fromEntries(Object.entries(media['x-event-data']).map(
    ([name, schema]) => [name, schemaAt(schema.$ref)]));

  try {
    // The current state, then what a transport command changes; other
    // changes may come between (the engine's error log, a position).
    const state = await readEvents(3);
    await fetch(`${base}/api/v1/channels/1/transport`, {
      method: 'POST', headers: { 'content-type': 'application/json' },
      body: JSON.stringify({ action: 'play', clip: 'beta' }),
    });
    let change;
    const seen = [...state];
    for (let more = 0; more < 20 && !change; ++more) {
      const [event] = await readEvents(1);
      seen.push(event);
      const data = JSON.parse(event.data);
      if (event.event === 'channel' && data.index === 1 && data.state === 'playing') change = event;
    }
    assert.ok(change, 'no event told that channel 1 plays');
    for (const event of seen) {
      const validate = schemas[event.event];
      assert.ok(validate, `undocumented event ${event.event}`);
      assert.ok(validate(JSON.parse(event.data)), ajv.errorsText(validate.errors));
      assert.match(event.id, new RegExp(document.paths[path].get.parameters[0].schema.pattern));
    }
    assert.ok(Number(change.id) > Number(state[0].id));

    // The host allows one stream: this one.
    await call('GET', path, path, { status: 503 });
  } finally {
    // An open stream would keep the test process alive.
    clearTimeout(limit);
    controller.abort();
  }
});

test('who is asking answers as documented', async () => {
  // No users are configured on this host.
  const me = await call('GET', '/api/v1/me', '/api/v1/me', { status: 200 });
  assert.deepEqual(me.json, { user: null, role: 'admin' });
});

test('every documented operation was asked', () => {
  for (const [path, item] of Object.entries(document.paths)) {
    for (const method of ['get', 'post']) {
      if (!item[method]) continue;
      const asked = [...checked].some(
        (entry) => entry.startsWith(`${method.toUpperCase()} ${path} `));
      assert.ok(asked, `${method} ${path} was never asked`);
    }
  }
});

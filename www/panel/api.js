// Requests to the JSON interface. Paths are taken relative to this module,
// so the panel also works below a proxy's prefix. Every failure becomes an
// ApiError carrying the problem document's detail.

const API = new URL('../api/v1/', import.meta.url);

export class ApiError extends Error {
  constructor(status, detail) {
    super(detail);
    this.status = status;
  }
}

export function apiUrl(path, query = {}) {
  const url = new URL(path, API);
  for (const [name, value] of Object.entries(query)) {
    if (value !== undefined && value !== null) url.searchParams.set(name, value);
  }
  return url;
}

async function failure(response) {
  let detail = `${response.status} ${response.statusText}`;
  try {
    const problem = await response.json();
    if (typeof problem?.detail === 'string') detail = problem.detail;
  } catch {
    // Not a problem document: the status says it all.
  }
  return new ApiError(response.status, detail);
}

export async function getJson(path, query) {
  const response = await fetch(apiUrl(path, query), { headers: { Accept: 'application/json' } });
  if (!response.ok) throw await failure(response);
  return response.json();
}

// The new state comes back pushed as an event; the answer only says
// whether the engine took the command.
export async function transport(channel, command) {
  const response = await fetch(apiUrl(`channels/${channel}/transport`), {
    method: 'POST',
    headers: { 'Content-Type': 'application/json', Accept: 'application/json' },
    body: JSON.stringify(command),
  });
  if (!response.ok) throw await failure(response);
}

// The pushed state: one EventSource on /api/v1/events. After a dropped
// connection the browser reconnects by itself and sends Last-Event-ID, so
// nothing is missed. Only when it gives up (an error status: every stream
// taken, the login refused) does this open a new stream after a pause; the
// server then starts it with the current state of everything.
import { apiUrl } from './api.js';

const REOPEN_MS = 5000;

// onLink gets 'live', 'reconnecting' or 'down'.
export function connectLive({ onChannel, onErrors, onLink }) {
  const open = () => {
    const source = new EventSource(apiUrl('events'));
    source.addEventListener('open', () => onLink('live'));
    source.addEventListener('channel', (event) => onChannel(JSON.parse(event.data)));
    source.addEventListener('errors', (event) => onErrors(JSON.parse(event.data)));
    source.addEventListener('error', () => {
      if (source.readyState !== EventSource.CLOSED) {
        onLink('reconnecting');
        return;
      }
      onLink('down');
      setTimeout(open, REOPEN_MS);
    });
  };
  open();
}

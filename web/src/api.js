// Requests to the host. Every action is a POST with a JSON body, but for a dropped file's upload,
// whose body is the file's bytes; the host answers errors as {"error": TEXT} with a status, and
// ApiError carries both so the page can show the sentence.

export class ApiError extends Error {
    // `details`: the other members of the host's answer, which some refusals carry for the page.
    constructor(status, message, details = {}) {
        super(message);
        this.status = status;
        this.details = details;
    }
}

async function errorFrom(response) {
    let text = `${response.status} ${response.statusText}`;
    let details = {};
    try {
        const body = await response.json();
        if (body && typeof body.error === 'string') ({error: text, ...details} = body);
    } catch {
        // The body was not the host's JSON error; the status line is all there is to say.
    }
    return new ApiError(response.status, text, details);
}

// `content` is {type, body}: the body's media type and what fetch sends.
async function send(method, path, content) {
    const init = {method, credentials: 'same-origin', headers: {}};
    if (content) {
        init.headers['Content-Type'] = content.type;
        init.body = content.body;
    }
    let response;
    try {
        response = await fetch(path, init);
    } catch (cause) {
        throw new ApiError(0, `The studio does not answer (${cause.message}); is vela-host still running?`);
    }
    if (!response.ok) throw await errorFrom(response);
    return response.json();
}

export const getJson = (path) => send('GET', path);
export const postJson = (path, body) => send('POST', path, body === undefined ? undefined : {type: 'application/json', body: JSON.stringify(body)});
// Sends a File or Blob as it is.
export const postBytes = (path, bytes) => send('POST', path, {type: 'application/octet-stream', body: bytes});

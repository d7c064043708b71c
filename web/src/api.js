// How a request reaches the host (actions.js decides which requests and in what order). Every
// action is a POST with a JSON body, but for a dropped file's upload, whose body is the file's
// bytes; the host answers errors as {"error": TEXT} with a status, and ApiError carries both so
// the page can show the sentence.

export class ApiError extends Error {
    /**
     * @param {number} status  the HTTP status; 0 when the host did not answer
     * @param {string} message
     * @param {Record<string, unknown>} [details]  the other members of the host's answer, which
     *     some refusals carry for the page
     */
    constructor(status, message, details = {}) {
        super(message);
        this.status = status;
        this.details = details;
    }
}

/**
 * @param {Response} response
 * @returns {Promise<ApiError>}
 */
async function errorFrom(response) {
    let text = `${response.status} ${response.statusText}`;
    /** @type {Record<string, unknown>} */
    let details = {};
    try {
        const body = await response.json();
        if (body && typeof body.error === 'string') ({error: text, ...details} = body);
    } catch {
        // The body was not the host's JSON error; the status line is all there is to say.
    }
    return new ApiError(response.status, text, details);
}

/**
 * @param {'GET' | 'POST'} method
 * @param {string} path
 * @param {{type: string, body: BodyInit}} [content]  the body and its media type
 * @param {(response: Response) => Promise<unknown>} [read]  how the answer is read
 * @returns {Promise<unknown>} the answer's JSON, or what `read` made of it
 */
async function send(method, path, content, read = (response) => response.json()) {
    /** @type {RequestInit & {headers: Record<string, string>}} */
    const init = {method, credentials: 'same-origin', headers: {}};
    if (content) {
        init.headers['Content-Type'] = content.type;
        init.body = content.body;
    }
    let response;
    try {
        response = await fetch(path, init);
    } catch (cause) {
        const why = cause instanceof Error ? cause.message : String(cause);
        throw new ApiError(0, `The studio does not answer (${why}); is vela-host still running?`);
    }
    if (!response.ok) throw await errorFrom(response);
    return read(response);
}

/** @param {string} path */
export const getJson = (path) => send('GET', path);

/**
 * An answer's bytes, as the whole state comes.
 * @param {string} path
 * @returns {Promise<ArrayBuffer>}
 */
export const getBytes = (path) =>
    /** @type {Promise<ArrayBuffer>} */ (send('GET', path, undefined, (response) => response.arrayBuffer()));

/**
 * @param {string} path
 * @param {unknown} [body]  sent as JSON
 */
export const postJson = (path, body) =>
    send('POST', path, body === undefined ? undefined : {type: 'application/json', body: JSON.stringify(body)});

/**
 * Sends a File or Blob as it is.
 * @param {string} path
 * @param {Blob} bytes
 */
export const postBytes = (path, bytes) => send('POST', path, {type: 'application/octet-stream', body: bytes});

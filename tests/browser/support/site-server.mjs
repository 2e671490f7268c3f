// A web site on the loopback interface, as a service would serve its pages: the demo site's folder
// at /, and the page library as npm packs it at /lib/ (the demo's import map points there).
import fs from "node:fs";
import http from "node:http";
import path from "node:path";

const kTypes = { ".html": "text/html", ".js": "text/javascript", ".css": "text/css", ".json": "application/json" };

function fileFor(urlPath, folders) {
    const [prefix, folder] = Object.entries(folders).find(([mount]) => urlPath.startsWith(mount));
    const relative = urlPath.slice(prefix.length) || "index.html";
    const file = path.resolve(folder, relative);
    return file.startsWith(folder + path.sep) && fs.statSync(file, { throwIfNoEntry: false })?.isFile() ? file : null;
}

// folders: URL prefix -> folder, longest prefix first. Resolves once the server listens.
export function startSiteServer(host, folders) {
    const server = http.createServer((request, response) => {
        const file = fileFor(decodeURIComponent(new URL(request.url, "http://site").pathname), folders);
        if (!file) {
            response.writeHead(404).end();
            return;
        }
        response.writeHead(200, { "Content-Type": `${kTypes[path.extname(file)] ?? "application/octet-stream"}; charset=utf-8` });
        fs.createReadStream(file).pipe(response);
    });
    return new Promise((resolve, reject) => {
        server.once("error", reject);
        server.listen(0, host, () => {
            const { port } = server.address();
            resolve({
                port,
                origin: (hostName = host) => `http://${hostName}:${port}`,
                // A connection the browser opened ahead and never used counts as busy, and would hold
                // close() until the server's request time-out: every connection ends with it.
                close: () => new Promise((done) => {
                    server.close(done);
                    server.closeAllConnections();
                }),
            });
        });
    });
}

// The bench panel's page: shows the states the panel pushes (Server-Sent Events) and sends the
// user's changes through the JSON API. Device texts are only ever set as text, never as markup.
"use strict";

(() => {
  const token = new URLSearchParams(location.search).get("token") || "";
  const $ = (id) => document.getElementById(id);
  const WINDOW_MS = 10 * 60 * 1000;
  // Swatch background and the text colour readable on it.
  const SWATCHES = {
    VIOLET: ["#7b3fc4", "#fff"], BLUE: ["#2446d8", "#fff"], CYAN: ["#19b8d2", "#10202a"],
    TEAL: ["#0f7f7a", "#fff"], GREEN: ["#2f9e44", "#fff"], YELLOW: ["#f5cc1b", "#1d2330"],
    RED: ["#d62828", "#fff"], WHITE: ["#ffffff", "#1d2330"],
  };
  const LINES = { WHITE: "#9aa1ad", YELLOW: "#d4a800" }; // visible on the chart's white ground

  let shown = null; // the latest state on the page
  let rowsFor = ""; // the channel list the table was built for
  const held = new Set(); // controls the user is working: incoming states leave them alone

  // ---- talking to the panel ------------------------------------------------------------

  class Failure extends Error {
    constructor(status, error) {
      super((error && error.text) || `HTTP ${status}`);
      this.status = status;
      this.error = error || {};
    }
  }

  async function api(method, path, body) {
    let response;
    try {
      response = await fetch(path, {
        method,
        headers: { Authorization: `Bearer ${token}`, "Content-Type": "application/json" },
        body: body === undefined ? undefined : JSON.stringify(body),
      });
    } catch (error) {
      throw new Failure(0, { text: "The panel server does not answer" });
    }
    const data = await response.json().catch(() => null);
    if (!response.ok) throw new Failure(response.status, data && data.error);
    return data;
  }

  function describe(failure) {
    const text = (failure.error.text || failure.message).replace(/^Error : /, "");
    switch (failure.status) {
      case 409: return `Device error ${failure.error.code}: ${text}`;
      case 503: return `No link to the engine: ${text}`;
      case 401: return "The panel refused this page: open the address the panel printed, with its token.";
      case 0: return text;
      default: return `Refused (${failure.status}): ${text}`;
    }
  }

  function report(failure, channel) {
    const text = describe(failure);
    $("notice-text").textContent = text;
    $("notice").hidden = false;
    if (channel !== undefined) rowMessage(channel, text);
  }

  function clearReports(channel) {
    $("notice").hidden = true;
    if (channel !== undefined) rowMessage(channel, "");
  }

  async function refresh() {
    try {
      show(await api("GET", "/api/state"), true);
    } catch (failure) {
      report(failure);
    }
  }

  // A change; on failure the message goes where the user looks and every control shows the
  // device's real state again.
  async function change(method, path, body, control, channel) {
    if (control) held.add(control);
    try {
      const state = await api(method, path, body);
      clearReports(channel);
      return state;
    } catch (failure) {
      report(failure, channel);
      return null;
    } finally {
      if (control) held.delete(control);
    }
  }

  async function apply(method, path, body, control, channel) {
    const state = await change(method, path, body, control, channel);
    if (state) show(state, true);
    else await refresh();
  }

  // Slider moves come faster than the device answers: while one intensity is on its way only
  // the newest value waits, and goes next.
  const waiting = new Map();
  function sendIntensity(index, value, controls) {
    const busy = waiting.has(index);
    waiting.set(index, value);
    if (busy) return;
    controls.forEach((control) => held.add(control));
    (async () => {
      let state = null;
      while (waiting.get(index) !== undefined) {
        const next = waiting.get(index);
        waiting.set(index, undefined);
        state = await change("PUT", `/api/channels/${index}`, { intensity: next }, null, index);
        if (!state) break;
      }
      waiting.delete(index);
      controls.forEach((control) => held.delete(control));
      if (state) show(state, true);
      else await refresh();
    })();
  }

  // ---- showing a state -----------------------------------------------------------------

  const number = (value, digits, unit) => (value === null ? "–" : `${value.toFixed(digits)}${unit}`);

  function fact(id, value, supported) {
    $(id).textContent = supported === false ? "n/a" : value === null || value === undefined ? "–" : String(value);
  }

  function setControl(control, property, value) {
    if (held.has(control) || document.activeElement === control && control.type === "number") return;
    control[property] = value;
  }

  function enable(control, usable, reason) {
    control.disabled = !usable;
    control.title = usable ? "" : reason;
  }

  function show(state, force) {
    if (!force && shown && state.time < shown.time) return; // an older state overtaken
    shown = state;
    const can = state.supports;
    const online = state.connected;
    const badge = $("link-badge");
    badge.textContent = online ? "connected" : "not connected";
    badge.className = `badge ${online ? "online" : "offline"}`;
    $("link-banner").hidden = online;
    $("link-text").textContent = online ? "" :
      `The link to the engine is lost${state.link_error ? ` (${state.link_error})` : ""}. The panel keeps running.`;

    fact("model", state.model);
    fact("serial_number", state.serial_number, can.serial_number);
    fact("firmware_version", state.firmware_version, can.firmware_version);
    fact("ip", state.ip, can.ip);
    fact("temperature", state.temperature === null ? null : state.temperature.toFixed(2), can.temperature);
    fact("supply_power_w", state.supply_power_w === null ? null : `${state.supply_power_w.toFixed(2)} W`,
      can.supply_power_w);
    fact("status_code", state.status_code, can.status_code);

    const lacking = "Not available on this engine family";
    const offline = "The engine is not connected";
    enable($("all-on"), online, offline);
    enable($("all-off"), online, offline);
    enable($("power-lock"), online && can.power_lock, can.power_lock ? offline : lacking);
    enable($("ttl-enabled"), online && can.ttl, can.ttl ? offline : lacking);
    enable($("ttl-polarity"), online && can.ttl, can.ttl ? offline : lacking);
    enable($("command-text"), online && can.command, can.command ? offline : lacking);
    enable($("command-send"), online && can.command, can.command ? offline : lacking);
    if (state.power_lock !== null) setControl($("power-lock"), "checked", state.power_lock);
    if (state.ttl_enabled !== null) setControl($("ttl-enabled"), "checked", state.ttl_enabled);
    if (state.ttl_polarity !== null) setControl($("ttl-polarity"), "value", String(state.ttl_polarity));

    buildRows(state);
    for (const channel of state.channels) showChannel(channel, state, online);
  }

  // ---- channel rows --------------------------------------------------------------------

  function element(tag, properties, children) {
    const made = Object.assign(document.createElement(tag), properties || {});
    for (const child of children || []) made.append(child);
    return made;
  }

  function buildRows(state) {
    const key = `${state.max_intensity}|${state.channels.map((channel) => channel.name).join("|")}`;
    if (key === rowsFor) return;
    rowsFor = key;
    const body = $("channels").tBodies[0];
    body.replaceChildren();
    for (const channel of state.channels) {
      const i = channel.index;
      const name = channel.name;
      const [ground, ink] = SWATCHES[name.toUpperCase()] || ["#c9ced6", "#1d2330"];
      const swatch = element("span", { className: "swatch", textContent: name });
      swatch.style.background = ground;
      swatch.style.color = ink;
      const on = element("input", { type: "checkbox", id: `ch${i}-on` });
      on.setAttribute("role", "switch");
      on.setAttribute("aria-label", `${name} on`);
      const range = element("input", { type: "range", id: `ch${i}-level`, min: 0, max: state.max_intensity, step: 1 });
      range.setAttribute("aria-label", `${name} intensity`);
      const field = element("input", { type: "number", id: `ch${i}-number`, min: 0, max: state.max_intensity, step: 1 });
      field.setAttribute("aria-label", `${name} intensity value`);
      const row = element("tr", {}, [
        element("th", { scope: "row" }, [swatch]),
        element("td", {}, [on]),
        element("td", {}, [element("div", { className: "level" }, [range, field])]),
        element("td", { className: "power", id: `ch${i}-power` }),
        element("td", { className: "message", id: `ch${i}-message` }),
      ]);
      row.dataset.channel = name;
      row.dataset.index = String(i);
      body.append(row);

      on.addEventListener("change", () => apply("PUT", `/api/channels/${i}`, { on: on.checked }, on, i));
      range.addEventListener("input", () => {
        field.value = range.value;
        sendIntensity(i, Number(range.value), [range, field]);
      });
      field.addEventListener("change", () => {
        const value = Number(field.value);
        if (!Number.isInteger(value) || value < 0 || value > state.max_intensity) {
          report(new Failure(400, { text: `An intensity is a whole number from 0 to ${state.max_intensity}` }), i);
          field.value = range.value;
          return;
        }
        range.value = field.value;
        sendIntensity(i, value, [range, field]);
      });
    }
  }

  function showChannel(channel, state, online) {
    const i = channel.index;
    const can = state.supports;
    for (const suffix of ["on", "level", "number"]) enable($(`ch${i}-${suffix}`), online, "The engine is not connected");
    if (channel.on !== null) setControl($(`ch${i}-on`), "checked", channel.on);
    if (channel.intensity !== null) {
      setControl($(`ch${i}-level`), "value", channel.intensity);
      setControl($(`ch${i}-number`), "value", channel.intensity);
    }
    $(`ch${i}-power`).textContent = can.power_mw ? number(channel.power_mw, 3, " mW") : "n/a";
  }

  function rowMessage(channel, text) {
    const cell = $(`ch${channel}-message`);
    if (cell) cell.textContent = text;
  }

  // ---- the chart -----------------------------------------------------------------------

  let chart = null;
  let rows = [];
  let seriesFor = "";

  const clock = (at) => at.toLocaleTimeString([], { hour12: false });
  const label = (text) => text.replace(/[^\w .°-]/g, "?"); // the chart's legend is markup

  function chartState(state) {
    const caption = $("chart-caption");
    if (typeof Dygraph !== "function") {
      caption.textContent = "The charting library is not installed: no chart.";
      return;
    }
    if (!state.connected) return;
    const series = state.channels.filter((channel) => channel.power_mw !== null)
      .map((channel) => [label(`${channel.name} mW`), channel.power_mw, LINES[channel.name] || (SWATCHES[channel.name] || ["#555"])[0]]);
    if (state.temperature !== null && series.length) series.push(["Temperature", state.temperature, "#1d2330"]);
    if (!series.length) {
      caption.textContent = "This engine family reports no readings to chart.";
      return;
    }
    const key = series.map((entry) => entry[0]).join("|");
    if (key !== seriesFor) {
      seriesFor = key;
      rows = [];
      if (chart) chart.destroy();
      chart = null;
    }
    const at = new Date(state.time * 1000);
    if (rows.length && at <= rows[rows.length - 1][0]) return;
    rows.push([at, ...series.map((entry) => entry[1])]);
    while (rows[0][0].getTime() < at.getTime() - WINDOW_MS) rows.shift();
    if (!chart) {
      chart = new Dygraph($("chart"), rows, {
        labels: ["Time", ...series.map((entry) => entry[0])],
        colors: series.map((entry) => entry[2]),
        series: { Temperature: { axis: "y2", strokePattern: [6, 3] } },
        axes: {
          x: { axisLabelFormatter: clock, valueFormatter: (at) => clock(new Date(at)), axisLabelWidth: 70 },
          y2: { independentTicks: true },
        },
        labelsDiv: $("chart-legend"),
        ylabel: "Optical power (mW)",
        y2label: "Temperature",
        legend: "always",
        strokeWidth: 1.8,
      });
    } else {
      chart.updateOptions({ file: rows });
    }
    caption.textContent = `${rows.length} readings since ${clock(rows[0][0])}`;
  }

  // ---- wiring --------------------------------------------------------------------------

  function listen() {
    const events = new EventSource(`/api/events?token=${encodeURIComponent(token)}`);
    events.addEventListener("state", (event) => {
      const state = JSON.parse(event.data);
      show(state);
      chartState(state);
    });
    events.addEventListener("error", () => {
      const badge = $("link-badge");
      if (events.readyState === EventSource.CLOSED) {
        report(new Failure(401, {}));
      } else {
        badge.textContent = "panel not answering";
        badge.className = "badge offline";
      }
    });
  }

  $("all-on").addEventListener("click", () => apply("PUT", "/api/channels", { on: true }));
  $("all-off").addEventListener("click", () => apply("PUT", "/api/channels", { on: false }));
  $("power-lock").addEventListener("change", (event) =>
    apply("PUT", "/api/power_lock", { on: event.target.checked }, event.target));
  $("ttl-enabled").addEventListener("change", (event) =>
    apply("PUT", "/api/ttl", { enabled: event.target.checked }, event.target));
  $("ttl-polarity").addEventListener("change", (event) =>
    apply("PUT", "/api/ttl", { polarity: Number(event.target.value) }, event.target));
  $("reconnect").addEventListener("click", () => apply("POST", "/api/reconnect"));
  $("notice-close").addEventListener("click", () => { $("notice").hidden = true; });
  $("command-form").addEventListener("submit", async (event) => {
    event.preventDefault();
    const reply = $("command-reply");
    try {
      const answer = await api("POST", "/api/command", { text: $("command-text").value });
      reply.textContent = answer.reply.trimEnd();
      reply.className = "";
    } catch (failure) {
      reply.textContent = describe(failure);
      reply.className = "failure";
    }
  });

  refresh();
  listen();
})();

// The service's mailboxes: post puts a message in one, receive waits for the next.
"use strict";

async function post(box, message) {
  await fetch("/box/" + box, {method: "POST", body: JSON.stringify(message)});
}

async function receive(box) {
  for (;;) {
    const reply = await fetch("/box/" + box);
    if (reply.status === 200) return reply.json();
  }
}

// The local description once all its candidates are in.
async function gathered(call) {
  if (call.iceGatheringState !== "complete") {
    await new Promise(resolve => {
      call.addEventListener("icegatheringstatechange", () => {
        if (call.iceGatheringState === "complete") resolve();
      });
    });
  }
  return call.localDescription.sdp;
}
